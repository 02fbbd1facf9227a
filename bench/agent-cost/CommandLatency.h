// The path of a display command through the agent, from the server's send to the monitor's
// write, split by the agent's log into the agent's own work and the wait it makes on purpose.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bench/agent-cost/AgentLogLines.h"
#include "bench/agent-cost/DeviceTap.h"
#include "bench/agent-cost/Sleeps.h"

namespace agentcost {

// One display command with a single one-byte VCP code, sent alone.
struct CommandSample {
  std::string serial;
  WallClock::time_point sent;     // just before the server wrote it
  WallClock::time_point written;  // its set request reached the monitor
};

struct CommandSplit {
  double receiveMs = 0;  // sent until queued: read, parse, queue
  double waitedMs = 0;   // queued until the loop that runs queued commands woke
  double runMs = 0;      // the rest until the write: mutex, registry, handle, the write
};

struct SleptSplit {
  double ownMs = 0;       // sent until written, less the writing thread's sleeps in between
  double receiveMs = 0;   // sent until the line of the display task's wake-up came
  double stepsMs = 0;     // of those sleeps: the display task's 0.1 s wait steps
  double stoppingMs = 0;  // the 50 ms polls while the monitor's read thread stopped
  double otherMs = 0;     // any other
};

// TarvikClient, by its log: in sample order; nullopt when the log lacks a sample's lines.
std::optional<std::vector<CommandSplit>> SplitByLog(const std::vector<CommandSample>& samples,
                                                    const std::vector<LogLine>& log);

// TarvikService, by the sleeps of its threads and its output stamped as it came: in sample
// order; nullopt when they lack a sample's pause after the write or its line.
std::optional<std::vector<SleptSplit>> SplitBySleeps(const std::vector<CommandSample>& samples,
                                                     const std::vector<LogLine>& output,
                                                     const std::vector<Sleep>& sleeps);

}  // namespace agentcost
