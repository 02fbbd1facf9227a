// The file half of the agent's log: one file per process, opened by the first line written,
// every write serialised on one queue.
#pragma once

#include <string>

namespace Utils {

// Appends "[<UTC time>] <text>\n"; returns once the line is written (or dropped when there is no
// file). Must not be called from the log queue itself.
void writeLogLine(const std::string& text);

}  // namespace Utils
