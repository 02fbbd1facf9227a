// The sleeps of the agent's threads, as the sleep recorder wrote them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/agent-cost/DeviceTap.h"

namespace agentcost {

struct Sleep {
  pid_t thread = 0;
  WallClock::time_point from, to;
  std::chrono::nanoseconds requested{};  // zero for a sleep until a given time
};

// Every sleep recorded in file so far, in the order they began.
std::vector<Sleep> ReadSleeps(const std::string& file);

}  // namespace agentcost
