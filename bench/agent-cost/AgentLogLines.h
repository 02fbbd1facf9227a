// The agent's log as written to its service output: lines that start with a local-time stamp
// "[YYYY-MM-DD HH:MM:SS.mmm]".
#pragma once

#include <string>
#include <vector>

#include "bench/agent-cost/DeviceTap.h"

namespace agentcost {

struct LogLine {
  WallClock::time_point at;  // the middle of the millisecond its stamp names
  std::string text;
};

// The stamped lines of the text, in order; others (a sanitizer's, a continued message) are left out.
std::vector<LogLine> StampedLines(const std::string& log);

}  // namespace agentcost
