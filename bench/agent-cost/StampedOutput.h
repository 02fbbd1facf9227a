// A program's output read through a FIFO, each line stamped as it arrives: the macOS agent
// flushes every log line, but its log file stamps them only to the second.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/agent-cost/AgentLogLines.h"

namespace agentcost {

class StampedOutput {
 public:
  // Makes the FIFO at path and holds its reading end open, so that the program's opening of it
  // for writing does not wait.
  explicit StampedOutput(const std::string& path);
  // Waits for the writers to close their ends.
  ~StampedOutput();
  StampedOutput(const StampedOutput&) = delete;
  StampedOutput& operator=(const StampedOutput&) = delete;

  // Reads from then on; call it once the program holds its writing end.
  void Follow();
  std::vector<LogLine> Lines() const;

 private:
  void Read();

  int m_fd = -1;
  mutable std::mutex m_mutex;
  std::vector<LogLine> m_lines;
  std::thread m_reader;
};

}  // namespace agentcost
