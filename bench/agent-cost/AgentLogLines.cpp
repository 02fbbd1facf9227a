#include "bench/agent-cost/AgentLogLines.h"

#include <cstdio>
#include <ctime>

namespace agentcost {
namespace {

bool ParseStamp(const std::string& line, WallClock::time_point* at) {
  std::tm local{};
  int millis = 0;
  char close = 0;
  if (std::sscanf(line.c_str(), "[%d-%d-%d %d:%d:%d.%3d%c", &local.tm_year, &local.tm_mon, &local.tm_mday,
                  &local.tm_hour, &local.tm_min, &local.tm_sec, &millis, &close) != 8 ||
      close != ']')
    return false;
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == -1) return false;
  // The stamp cuts the time down to the millisecond.
  *at = WallClock::from_time_t(seconds) + std::chrono::milliseconds(millis) + std::chrono::microseconds(500);
  return true;
}

}  // namespace

std::vector<LogLine> StampedLines(const std::string& log) {
  std::vector<LogLine> lines;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    LogLine line{{}, log.substr(start, end - start)};
    if (ParseStamp(line.text, &line.at)) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace agentcost
