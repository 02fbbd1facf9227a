#include "bench/agent-cost/CommandLatency.h"

#include <algorithm>

namespace agentcost {
namespace {

constexpr const char* kQueued = "addChangeVcpCode: sn=";
constexpr const char* kCycleRunsQueued = "RunCacheCommand Start!";
constexpr const char* kBatchStarts = "RunCacheCommand =  MutexGuard Get Start";

bool Has(const LogLine& line, const std::string& part) { return line.text.find(part) != std::string::npos; }

double Ms(WallClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

std::optional<std::vector<CommandSplit>> SplitByLog(const std::vector<CommandSample>& samples,
                                                    const std::vector<LogLine>& log) {
  std::vector<CommandSplit> splits;
  auto from = log.begin();
  for (const CommandSample& sample : samples) {
    // A log stamp is within half a millisecond of the time it stands for.
    const auto sentInLog = sample.sent - std::chrono::microseconds(500);
    auto queued = std::find_if(from, log.end(), [&](const LogLine& l) {
      return l.at >= sentInLog && Has(l, kQueued + sample.serial);
    });
    // The batch that ran it is the first to start after it was queued; the cycle woke at the
    // last "RunCacheCommand Start!" before that, which may come before the queueing itself.
    auto batch = std::find_if(queued, log.end(), [](const LogLine& l) { return Has(l, kBatchStarts); });
    if (batch == log.end()) return std::nullopt;
    auto wake = std::find_if(std::make_reverse_iterator(batch), log.rend(),
                             [](const LogLine& l) { return Has(l, kCycleRunsQueued); });
    if (wake == log.rend()) return std::nullopt;
    const auto ranFrom = std::max(wake->at, queued->at);
    splits.push_back({Ms(queued->at - sample.sent), Ms(ranFrom - queued->at), Ms(sample.written - ranFrom)});
    from = batch;
  }
  return splits;
}

}  // namespace agentcost
