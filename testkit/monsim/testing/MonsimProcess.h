// The monsim program serving a monitor file, for tests of programs that reach the monitors
// through it: its sockets in a folder of its own, its control commands, its end.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace monsim::testing {

class MonsimProcess {
 public:
  // The environment is this process's with the given variables set over it.
  MonsimProcess(const std::string& program, const std::string& monitorFile,
                const std::vector<std::pair<std::string, std::string>>& environment = {});
  // Ends it if Stop has not.
  ~MonsimProcess();
  MonsimProcess(const MonsimProcess&) = delete;
  MonsimProcess& operator=(const MonsimProcess&) = delete;

  // Waits up to 10 s for its control socket to answer; false when it ended or never did.
  bool Ready();
  // What TARVIK_MONSIM_SOCKET names for a program using its monitors.
  const std::string& DeviceSocket() const { return m_deviceSocket; }
  const std::string& ControlSocket() const { return m_controlSocket; }
  // The answer to one control command; throws std::runtime_error when monsim does not answer.
  nlohmann::json Send(const nlohmann::json& command) const;
  // Asks it to end (SIGTERM) and returns its exit code; -1 when it did not exit by itself.
  int Stop();

 private:
  std::string m_folder;
  std::string m_deviceSocket;
  std::string m_controlSocket;
  pid_t m_pid = -1;
  int m_exitCode = -1;  // once it has been seen to end
};

}  // namespace monsim::testing
