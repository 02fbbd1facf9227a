#include "testkit/monsim/ControlClient.h"

#include <unistd.h>

#include <stdexcept>

#include "moncontrol/hid/linux/SimulatorProtocol.h"
#include "testkit/monsim/server/LineSocket.h"

namespace monsim {

nlohmann::json ControlClient::Send(const nlohmann::json& command) const {
  int socket = mchid::simproto::ConnectUnixSocket(m_socketPath);
  if (socket < 0) throw std::runtime_error("monsim is not listening on \"" + m_socketPath + "\"");
  LineSocket lines(socket);
  std::string answer;
  bool answered = lines.Send(command.dump()) && lines.Receive(answer);
  ::close(socket);
  if (!answered) throw std::runtime_error("monsim gave no answer on \"" + m_socketPath + "\"");
  nlohmann::json parsed = nlohmann::json::parse(answer, nullptr, false);
  if (parsed.is_discarded()) throw std::runtime_error("monsim answered with something other than JSON");
  return parsed;
}

}  // namespace monsim
