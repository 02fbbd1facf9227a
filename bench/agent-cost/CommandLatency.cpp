#include "bench/agent-cost/CommandLatency.h"

#include <algorithm>

namespace agentcost {
namespace {

constexpr const char* kQueued = "addChangeVcpCode: sn=";
constexpr const char* kCycleRunsQueued = "RunCacheCommand Start!";
constexpr const char* kBatchStarts = "RunCacheCommand =  MutexGuard Get Start";
// Logged right after the display task's wake-up flag is set, the queueing done.
constexpr const char* kWakeUpSet = "Run display command set to run immediately.";
constexpr auto kWaitStep = std::chrono::milliseconds(100);
constexpr auto kStopPoll = std::chrono::milliseconds(50);
constexpr auto kPauseAfterWrite = std::chrono::milliseconds(50);
// The tap stamps a write a little after the agent made it, so the pause may begin just before.
constexpr auto kPauseNear = std::chrono::milliseconds(20);

bool Has(const LogLine& line, const std::string& part) { return line.text.find(part) != std::string::npos; }

double Ms(WallClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The thread that made the write: the one whose pause after a write begins nearest to it.
std::optional<pid_t> WritingThread(WallClock::time_point written, const std::vector<Sleep>& sleeps) {
  std::optional<pid_t> thread;
  WallClock::duration nearest = kPauseNear;
  for (const Sleep& s : sleeps) {
    const auto apart = s.from > written ? s.from - written : written - s.from;
    if (s.requested == kPauseAfterWrite && apart <= nearest) {
      nearest = apart;
      thread = s.thread;
    }
  }
  return thread;
}

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

// A command's own time is its span from the send to the write, less every sleep of the thread
// that wrote it within that span: each deliberate wait on the path is a sleep of that thread (the
// display task's steps, its polls while the read thread stops, the pacing of its writes), and
// whatever else the agent does meanwhile either overlaps them or adds to the span.
std::optional<std::vector<SleptSplit>> SplitBySleeps(const std::vector<CommandSample>& samples,
                                                     const std::vector<LogLine>& output,
                                                     const std::vector<Sleep>& sleeps) {
  std::vector<SleptSplit> splits;
  for (const CommandSample& sample : samples) {
    const std::optional<pid_t> writer = WritingThread(sample.written, sleeps);
    auto woken = std::find_if(output.begin(), output.end(),
                              [&](const LogLine& l) { return l.at >= sample.sent && Has(l, kWakeUpSet); });
    if (!writer || woken == output.end()) return std::nullopt;
    SleptSplit split{0, Ms(woken->at - sample.sent)};
    WallClock::duration slept{};
    for (const Sleep& s : sleeps) {
      if (s.thread != *writer || s.to <= sample.sent || s.from >= sample.written) continue;
      const auto within = std::min(s.to, sample.written) - std::max(s.from, sample.sent);
      slept += within;
      (s.requested == kWaitStep ? split.stepsMs : s.requested == kStopPoll ? split.stoppingMs : split.otherMs) +=
          Ms(within);
    }
    split.ownMs = Ms(sample.written - sample.sent - slept);
    splits.push_back(split);
  }
  return splits;
}

}  // namespace agentcost
