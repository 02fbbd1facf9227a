// The Mac of a test binary: TARVIK_MAC_ROOT at a fresh folder, and what the agent logged there.
#pragma once

#include <chrono>
#include <string>

namespace agentmactest {

// Made on first use (call it before anything logs), removed when the process ends.
const std::string& MacRoot();

// Everything the agent has written to its log file in this process so far, without the time
// stamps.
std::string LogFileText();

// A place in the log file; what was logged after it.
class LogMark {
 public:
  LogMark();
  std::string Since() const;
  // Polls until the text after the mark holds part; false at the time limit.
  bool WaitFor(const std::string& part, std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

 private:
  std::size_t m_offset;
};

// Writes text to path under the root (a Mac path such as "/Library/Managed Preferences/x.plist"),
// creating its folders; the file replaces any earlier one at once.
void WriteMacFile(const std::string& macPath, const std::string& text);

}  // namespace agentmactest
