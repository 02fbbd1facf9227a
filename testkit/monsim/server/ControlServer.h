// Takes control commands on the control socket: one JSON text per line, each answered by one
// line (ControlCommands.h).
#pragma once

#include <string>

#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/server/UnixListener.h"

namespace monsim {

class ControlServer {
 public:
  ControlServer(Simulator& simulator, const std::string& socketPath);

 private:
  void Serve(int socket);
  Simulator& m_simulator;
  UnixListener m_listener;  // last: its sessions use the members above
};

}  // namespace monsim
