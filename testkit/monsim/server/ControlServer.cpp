#include "testkit/monsim/server/ControlServer.h"

#include "testkit/monsim/server/ControlCommands.h"
#include "testkit/monsim/server/LineSocket.h"

namespace monsim {

ControlServer::ControlServer(Simulator& simulator, const std::string& socketPath)
    : m_simulator(simulator), m_listener(socketPath, [this](int socket) { Serve(socket); }) {}

void ControlServer::Serve(int socket) {
  LineSocket lines(socket);
  std::string line;
  while (lines.Receive(line)) {
    if (!lines.Send(ExecuteControlCommand(m_simulator, line).dump())) return;
  }
}

}  // namespace monsim
