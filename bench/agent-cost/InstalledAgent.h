// TarvikClient installed as a service on the stand-in machine that TARVIK_C_DRIVE names, with
// settings that point it at a management server on this machine, as an administrator would.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace agentcost {

class InstalledAgent {
 public:
  // Copies the program into the machine's program folder, writes the settings and runs
  // "/install" with TARVIK_MONSIM_SOCKET naming the device socket. Throws std::runtime_error
  // when the service does not run.
  InstalledAgent(const std::string& program, std::uint16_t serverPort, const std::string& deviceSocket);
  // Runs "/remove" and waits for the service's process to end.
  ~InstalledAgent();
  InstalledAgent(const InstalledAgent&) = delete;
  InstalledAgent& operator=(const InstalledAgent&) = delete;

  pid_t Pid() const { return m_pid; }
  // Everything the service has written to its output so far: its log.
  std::string Log() const;

 private:
  std::string m_program;
  pid_t m_pid = 0;
};

}  // namespace agentcost
