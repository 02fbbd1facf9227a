// One sleep of a thread of the agent, as the sleep recorder appends it to its file: stamped on
// the calendar clock, so that it compares directly with the device tap's stamps.
#pragma once

#include <cstdint>

namespace agentcost {

// The file the recorder appends to; without it the recorder records nothing.
inline constexpr const char* kSleepFileVariable = "AGENT_COST_SLEEP_FILE";

struct SleepRecord {
  std::int64_t fromNs;       // CLOCK_REALTIME when the call began
  std::int64_t toNs;         // and when it returned
  std::int64_t requestedNs;  // the relative time asked for; 0 for a sleep until a given time
  std::int32_t thread;       // gettid
  std::int32_t unused;
};
static_assert(sizeof(SleepRecord) == 32);

}  // namespace agentcost
