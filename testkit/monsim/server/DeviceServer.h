// Serves the simulator's monitors on the device socket to the simulator client backend of
// other processes (the protocol of moncontrol/hid/linux/SimulatorProtocol.h).
#pragma once

#include <string>

#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/server/UnixListener.h"

namespace monsim {

class DeviceServer {
 public:
  DeviceServer(Simulator& simulator, const std::string& socketPath);

 private:
  void Serve(int socket);
  Simulator& m_simulator;
  UnixListener m_listener;  // last: its sessions use the members above
};

}  // namespace monsim
