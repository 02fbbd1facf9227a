// TarvikService as it runs: started from a folder of its own with a profile beside the program
// that points it at a management server on this machine, its Mac root a fresh folder. The sleep
// recorder is preloaded into it, so that its deliberate waits can be told from its work.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "agent-macos/testing/AgentProcess.h"
#include "bench/agent-cost/Sleeps.h"
#include "bench/agent-cost/StampedOutput.h"

namespace agentcost {

class MacAgent {
 public:
  // Its files go to a fresh folder in parent. TARVIK_MONSIM_SOCKET names the device socket;
  // recorder is the sleep recorder's library. Throws std::runtime_error when it cannot start.
  MacAgent(const std::filesystem::path& parent, const std::string& program, std::uint16_t serverPort,
           const std::string& deviceSocket, const std::string& recorder);
  // Stops it with SIGTERM, waits for it to end and removes its folder.
  ~MacAgent();
  MacAgent(const MacAgent&) = delete;
  MacAgent& operator=(const MacAgent&) = delete;

  pid_t Pid() const { return m_process->Pid(); }
  // What it has logged so far, each line stamped when it came.
  std::vector<LogLine> Lines() const { return m_output.Lines(); }
  // Its threads' sleeps so far.
  std::vector<Sleep> Sleeps() const;

 private:
  struct Folder {
    explicit Folder(const std::filesystem::path& parent);
    ~Folder();
    std::filesystem::path path;
  };

  Folder m_folder;
  StampedOutput m_output;  // before the process, which writes into it
  std::unique_ptr<agentmactest::AgentProcess> m_process;
};

}  // namespace agentcost
