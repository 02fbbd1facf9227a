#include "bench/agent-cost/Sleeps.h"

#include <algorithm>
#include <fstream>

#include "bench/agent-cost/sleep-recorder/SleepRecord.h"

namespace agentcost {
namespace {

WallClock::time_point At(std::int64_t ns) {
  return WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(std::chrono::nanoseconds(ns)));
}

}  // namespace

std::vector<Sleep> ReadSleeps(const std::string& file) {
  std::vector<Sleep> sleeps;
  std::ifstream in(file, std::ios::binary);
  SleepRecord record{};
  while (in.read(reinterpret_cast<char*>(&record), sizeof record))
    sleeps.push_back({record.thread, At(record.fromNs), At(record.toNs), std::chrono::nanoseconds(record.requestedNs)});
  std::sort(sleeps.begin(), sleeps.end(), [](const Sleep& a, const Sleep& b) { return a.from < b.from; });
  return sleeps;
}

}  // namespace agentcost
