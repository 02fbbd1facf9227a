// TarvikService as it runs: started from a folder of its own (a link to the program beside its
// profile), with a Mac root and environment of the test's, its output kept in a file.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace agentmactest {

class AgentProcess {
 public:
  // The program is linked into folder as "TarvikService" and started there, as ./TarvikService.
  AgentProcess(const std::string& program, const std::string& folder,
               const std::vector<std::pair<std::string, std::string>>& environment);
  // Kills it if it is still running.
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  pid_t Pid() const { return m_pid; }
  void Signal(int signal) const;
  // Its exit status once it has ended by itself within the limit; none otherwise.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);
  // Standard output and error so far.
  std::string Output() const;
  // Polls until the output from offset on holds part; false at the time limit.
  bool WaitForOutput(const std::string& part, std::size_t offset = 0,
                     std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

 private:
  std::string m_outputFile;
  pid_t m_pid = -1;
  std::optional<int> m_exitStatus;
};

}  // namespace agentmactest
