// The path of a display command through the agent, from the server's send to the monitor's
// write, split by the agent's log into the agent's own work and the wait it makes on purpose.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bench/agent-cost/AgentLogLines.h"
#include "bench/agent-cost/DeviceTap.h"

namespace agentcost {

// One display command with a single one-byte VCP code, sent alone.
struct CommandSample {
  std::string serial;
  WallClock::time_point sent;     // just before the server wrote it
  WallClock::time_point written;  // its set request reached the monitor
};

struct CommandSplit {
  double receiveMs = 0;  // sent until queued ("addChangeVcpCode"): read, parse, queue
  double waitedMs = 0;   // queued until the refresh loop woke to run queued commands
  double runMs = 0;      // from then until the write: mutex, registry, handle, the write
};

// In sample order; nullopt when the log lacks a sample's lines.
std::optional<std::vector<CommandSplit>> SplitByLog(const std::vector<CommandSample>& samples,
                                                    const std::vector<LogLine>& log);

}  // namespace agentcost
