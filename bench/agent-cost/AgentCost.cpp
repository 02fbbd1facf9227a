// agent-cost: what an agent costs when it runs as it does on its machine, with eight monitors
// and a management server, measured on the running process: TarvikClient as a service, or
// TarvikService from its own folder with a profile. bench/agent-cost.sh builds it, starts monsim
// and names a fresh stand-in machine in TARVIK_C_DRIVE.
//
//   agent-cost --agent windows|macos --program PROGRAM --monsim-socket SOCKET --tap-socket SOCKET
//              [--seconds N] [--folder DIR]
//
// --folder (the macOS agent's only): where the agent gets a folder of its own for its files.
// Prints each figure with its target; exits 1 when a figure could not be measured.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/agent-cost/AgentLogLines.h"
#include "bench/agent-cost/CommandLatency.h"
#include "bench/agent-cost/DeviceTap.h"
#include "bench/agent-cost/InstalledAgent.h"
#include "bench/agent-cost/MacAgent.h"
#include "bench/agent-cost/ProcessUsage.h"
#include "testkit/mgmt-server/MgmtServer.h"

using nlohmann::json;
using namespace agentcost;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kMonitors = 8;
constexpr int kLatencySamples = 24;
constexpr int kReconnects = 10;
constexpr int kCommandsPerReconnect = 100;
constexpr std::uint8_t kBrightness = 0x10;

constexpr double kIdleCpuTargetPercent = 0.2;
constexpr double kMacIdleCpuTargetPercent = 0.3;
constexpr long kMemoryTargetKb = 20 * 1024;
// A leak of a few hundred bytes per command or a few kB per reconnect shows above this.
constexpr long kFlatToleranceKb = 256;
constexpr double kLatencyTargetMs = 5.0;
// The macOS agent's line as something asks it for a heartbeat at once.
constexpr const char* kHeartbeatAsked = "Heartbeat command set to run immediately.";

// Built with the driver; the build names its file.
constexpr const char* kSleepRecorder = AGENT_COST_SLEEP_RECORDER;

struct Options {
  std::string agent, program, monsimSocket, tapSocket, folder;
  int seconds = 60;
};

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Serial(std::size_t monitor) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "TVK24Q2%05zu", monitor + 1);
  return serial;
}

std::string DisplayCommand(long long cmdid, const std::string& serial, int brightness) {
  return json{{"cmdid", cmdid},
              {"type", "displayCommand"},
              {"monitorList", {{{"serialNumber", serial}, {"funcList", {{kBrightness, brightness}}}}}}}
      .dump();
}

std::size_t CountSince(const testkit::MgmtServer& server, std::size_t first, const std::string& part) {
  const auto messages = server.MessagesSince(first);
  return std::count_if(messages.begin(), messages.end(),
                       [&](const testkit::MgmtMessage& m) { return m.data.find(part) != std::string::npos; });
}

void WaitForCount(const testkit::MgmtServer& server, std::size_t first, const std::string& part, std::size_t count,
                  std::chrono::seconds limit, const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (CountSince(server, first, part) < count) {
    if (std::chrono::steady_clock::now() > deadline) throw Failure("no " + what + " within " +
                                                                   std::to_string(limit.count()) + " s");
    std::this_thread::sleep_for(50ms);
  }
}

bool IsFullReportOfAll(const testkit::MgmtMessage& message) {
  const json report = json::parse(message.data, nullptr, false);
  if (!report.is_object() || report.value("type", "") != "displayStatusReport") return false;
  const json monitors = report.value("monitorList", json::array());
  return monitors.is_array() && monitors.size() == kMonitors && monitors[0].contains("vcpFuncMap");
}

// After the upgrade numbered `upgrades`, the full report of every monitor: what the agent sends
// once its start-up (or a reconnect) has settled.
void WaitForSettled(const testkit::MgmtServer& server, std::size_t upgrades) {
  if (!server.WaitForUpgrades(upgrades, 30s)) throw Failure("the agent did not connect");
  const std::size_t first = server.Messages().size();
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  for (;;) {
    const auto messages = server.MessagesSince(first);
    if (std::any_of(messages.begin(), messages.end(), IsFullReportOfAll)) return;
    if (std::chrono::steady_clock::now() > deadline) throw Failure("no full report of all monitors");
    std::this_thread::sleep_for(100ms);
  }
}

// From message first on, a full entry of every monitor: what the macOS agent sends at start, as
// it reads its monitors one after the other and reports each in full once it is read.
void WaitForEachInFull(const testkit::MgmtServer& server, std::size_t first) {
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  std::set<std::string> reported;
  for (;;) {
    for (const testkit::MgmtMessage& message : server.MessagesSince(first)) {
      const json report = json::parse(message.data, nullptr, false);
      if (!report.is_object() || report.value("type", "") != "displayStatusReport") continue;
      for (const json& monitor : report.value("monitorList", json::array()))
        if (monitor.contains("vcpFuncMap")) reported.insert(monitor.value("serialNumber", ""));
    }
    if (reported.size() >= kMonitors) return;
    if (std::chrono::steady_clock::now() > deadline) throw Failure("no full report of every monitor");
    std::this_thread::sleep_for(100ms);
  }
}

template <typename Agent>
ResidentMemory MemoryOf(const Agent& agent) {
  std::optional<ResidentMemory> memory = Memory(agent.Pid());
  if (!memory) throw Failure("the agent's process has gone");
  return *memory;
}

template <typename Agent>
double CpuOf(const Agent& agent) {
  std::optional<double> seconds = CpuSeconds(agent.Pid());
  if (!seconds) throw Failure("the agent's process has gone");
  return *seconds;
}

double Mb(long kb) { return static_cast<double>(kb) / 1024.0; }

void PrintFigure(const std::string& name, const std::string& figure, const std::string& target, bool met) {
  std::printf("%-18s %-66s target %-8s %s\n", name.c_str(), figure.c_str(), target.c_str(), met ? "met" : "MISSED");
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Worst(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

// Each sample is one display command with one brightness setting, sent alone once the batch
// before it is over (awaitDone(first message before the send, write) returns then); the pause
// after it moves the next one to another point of the agent's loops.
template <typename AwaitDone>
std::vector<CommandSample> SendSingleCommands(testkit::MgmtServer& server, DeviceTap& tap, AwaitDone awaitDone) {
  std::vector<CommandSample> samples;
  for (int i = 0; i < kLatencySamples; ++i) {
    const std::string serial = Serial(static_cast<std::size_t>(i) % kMonitors);
    const int brightness = 20 + i;
    const std::size_t first = server.Messages().size();
    const auto sent = WallClock::now();
    if (!server.SendText(DisplayCommand(500 + i, serial, brightness))) throw Failure("the agent is not connected");
    std::optional<VcpWrite> write = tap.WaitForWrite(serial, kBrightness, static_cast<std::uint16_t>(brightness),
                                                     sent, 10s);
    if (!write) throw Failure("a display command never reached its monitor");
    samples.push_back({serial, sent, write->at});
    awaitDone(first, write->at);
    std::this_thread::sleep_for(std::chrono::milliseconds(i * 377 % 1000));
  }
  return samples;
}

template <typename Split, typename Part>
std::vector<double> Values(const std::vector<Split>& splits, Part part) {
  std::vector<double> values;
  for (const Split& s : splits) values.push_back(std::invoke(part, s));
  return values;
}

// The agent's own work on each sample's path, with the target.
void PrintOwnWork(const std::vector<double>& own) {
  PrintFigure("command to write",
              Format("median %.1f ms, worst %.1f ms of the agent's own work (%.0f commands)", Median(own), Worst(own),
                     static_cast<double>(own.size())),
              Format("<= %.0f ms", kLatencyTargetMs), Median(own) <= kLatencyTargetMs);
}

void MeasureCommandLatency(testkit::MgmtServer& server, DeviceTap& tap, const InstalledAgent& agent) {
  const std::vector<CommandSample> samples =
      SendSingleCommands(server, tap, [&](std::size_t first, WallClock::time_point) {
        WaitForCount(server, first, R"("type":"VcpState")", 1, 10s, "VcpState report");
      });
  std::optional<std::vector<CommandSplit>> splits = SplitByLog(samples, StampedLines(agent.Log()));
  if (!splits) throw Failure("the agent's log lacks the lines of a display command");
  const std::vector<double> waited = Values(*splits, &CommandSplit::waitedMs);
  PrintOwnWork(Values(*splits, [](const CommandSplit& s) { return s.receiveMs + s.runMs; }));
  std::printf("  receive, parse and queue: median %.1f ms; from the refresh loop's wake to the write: median %.1f ms\n"
              "  (the agent's log stamps these to the millisecond)\n",
              Median(Values(*splits, &CommandSplit::receiveMs)), Median(Values(*splits, &CommandSplit::runMs)));
  std::printf("  fixed waits left out: the refresh loop's 1 s sleep before it runs queued commands (waited here:\n"
              "  median %.0f ms, worst %.0f ms). Not on this path, as each command holds one single-byte code and\n"
              "  nothing else holds \"Global\\HalvaneSDK\": the settle delay of 400 to 700 ms after each earlier\n"
              "  command of a batch, the 200 ms between the two writes of a 0xF8 code, the wait of up to 2000 ms\n"
              "  for \"Global\\HalvaneSDK\".\n",
              Median(waited), Worst(waited));
}

// The run of a command is over once, after its write, it has asked for the heartbeat that reports
// it; the report may be in before that line is seen, so reports count from before the send.
void WaitForRunReported(const testkit::MgmtServer& server, const MacAgent& agent, std::size_t first,
                        WallClock::time_point written) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  const auto asked = [&] {
    const std::vector<LogLine> lines = agent.Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const LogLine& l) {
      return l.at >= written && l.text.find(kHeartbeatAsked) != std::string::npos;
    });
  };
  while (!asked() || CountSince(server, first, R"("type":"displayStatusReport")") == 0) {
    if (std::chrono::steady_clock::now() > deadline) throw Failure("no report after a command within 10 s");
    std::this_thread::sleep_for(50ms);
  }
}

void MeasureCommandLatency(testkit::MgmtServer& server, DeviceTap& tap, const MacAgent& agent) {
  const std::vector<CommandSample> samples =
      SendSingleCommands(server, tap, [&](std::size_t first, WallClock::time_point written) {
        WaitForRunReported(server, agent, first, written);
      });
  std::optional<std::vector<SleptSplit>> splits = SplitBySleeps(samples, agent.Lines(), agent.Sleeps());
  if (!splits) throw Failure("the agent's sleeps or output lack those of a display command");
  const std::vector<double> steps = Values(*splits, &SleptSplit::stepsMs),
                            stopping = Values(*splits, &SleptSplit::stoppingMs),
                            other = Values(*splits, &SleptSplit::otherMs);
  PrintOwnWork(Values(*splits, &SleptSplit::ownMs));
  std::printf("  the span from the send to the write less the writing thread's sleeps in it, as the agent's\n"
              "  preloaded sleep recorder stamped them; receive, parse and queue on the connection's thread\n"
              "  (overlapping those sleeps): median %.1f ms.\n"
              "  Fixed waits left out: the rest of the display task's 0.1 s wait step (median %.0f ms, worst %.0f ms)\n"
              "  and its 50 ms polls while the monitor's read thread ends its 500 ms read and 0.1 s pause (median\n"
              "  %.0f ms, worst %.0f ms); other sleeps: worst %.0f ms. Not on this path: the 50 ms after each write\n"
              "  (it follows the write), the 200 ms between the select and the value of a 0xF8 code.\n",
              Median(Values(*splits, &SleptSplit::receiveMs)), Median(steps), Worst(steps), Median(stopping),
              Worst(stopping), Worst(other));
}

// Each round sends its commands, waits until awaitApplied(first message, first command, sent)
// says they are applied, then drops the connection and waits until awaitReconnected(upgrades
// before, first message after) has seen the reconnect settled.
template <typename Agent, typename AwaitApplied, typename AwaitReconnected>
void MeasureMemoryUnderLoad(testkit::MgmtServer& server, const Agent& agent, AwaitApplied awaitApplied,
                            AwaitReconnected awaitReconnected) {
  const ResidentMemory before = MemoryOf(agent);
  ResidentMemory halfway;
  for (int round = 0; round < kReconnects; ++round) {
    const std::size_t first = server.Messages().size();
    const auto sent = WallClock::now();
    for (int i = 0; i < kCommandsPerReconnect; ++i) {
      const int n = round * kCommandsPerReconnect + i;
      if (!server.SendText(DisplayCommand(10000 + n, Serial(static_cast<std::size_t>(n) % kMonitors), n % 101)))
        throw Failure("the agent is not connected");
    }
    WaitForCount(server, first, R"("type":"response")", kCommandsPerReconnect, 60s, "answer to every command");
    awaitApplied(first, round * kCommandsPerReconnect, sent);
    const std::size_t upgrades = server.Upgrades().size(), beforeDrop = server.Messages().size();
    server.DropConnections();
    awaitReconnected(upgrades, beforeDrop);
    if (round == kReconnects / 2 - 1) halfway = MemoryOf(agent);
  }
  const ResidentMemory after = MemoryOf(agent);
  const long grown = after.rssKb - before.rssKb;
  PrintFigure("memory under load",
              Format("VmRSS %.1f MB, %.1f MB halfway, %.1f MB after", Mb(before.rssKb), Mb(halfway.rssKb),
                     Mb(after.rssKb)),
              "flat", grown <= kFlatToleranceKb);
  std::printf("  after %d display commands and %d reconnects (each waited out to the full reports): %+ld kB;\n"
              "  flat means at most %ld kB more\n",
              kReconnects * kCommandsPerReconnect, kReconnects, grown, kFlatToleranceKb);
}

// The figures of an agent at rest once settle() has seen its start-up settled: memory after
// start-up, CPU while idle.
template <typename Agent, typename Settle>
void MeasureAtRest(const Agent& agent, Settle settle, const char* what, int seconds, double idleCpuTargetPercent) {
  settle();
  std::this_thread::sleep_for(2s);
  std::printf("%s (process %d) with %zu monitors and the management server\n", what, static_cast<int>(agent.Pid()),
              kMonitors);

  const ResidentMemory started = MemoryOf(agent);
  PrintFigure("memory at start",
              Format("VmRSS %.1f MB, VmHWM %.1f MB once the start-up reports are sent", Mb(started.rssKb),
                     Mb(started.hwmKb)),
              Format("<= %.0f MB", Mb(kMemoryTargetKb)), started.hwmKb <= kMemoryTargetKb);

  const double cpuBefore = CpuOf(agent);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpuSeconds = CpuOf(agent) - cpuBefore;
  const double percent = cpuSeconds / seconds * 100;
  PrintFigure("idle CPU",
              Format("%.3f %% of one core: %.0f ms of user and system time in %.0f s", percent, cpuSeconds * 1000,
                     seconds),
              Format("<= %.1f %%", idleCpuTargetPercent), percent <= idleCpuTargetPercent);
}

void MeasureWindows(const Options& options) {
  testkit::MgmtServer server;
  DeviceTap tap(options.tapSocket, options.monsimSocket);
  InstalledAgent agent(options.program, server.Port(), options.tapSocket);
  MeasureAtRest(
      agent, [&] { WaitForSettled(server, 1); }, "TarvikClient as a service", options.seconds, kIdleCpuTargetPercent);
  MeasureCommandLatency(server, tap, agent);
  MeasureMemoryUnderLoad(
      server, agent,
      [&](std::size_t first, int, WallClock::time_point) {
        WaitForCount(server, first, R"("type":"VcpState")", 1, 60s, "VcpState report");
      },
      [&](std::size_t upgrades, std::size_t) { WaitForSettled(server, upgrades + 1); });
}

void MeasureMac(const Options& options) {
  testkit::MgmtServer server;
  DeviceTap tap(options.tapSocket, options.monsimSocket);
  MacAgent agent(options.folder, options.program, server.Port(), options.tapSocket, kSleepRecorder);
  // Each connection, the first too, reads every monitor again and reports each in full.
  const auto settled = [&](std::size_t upgrades, std::size_t first) {
    if (!server.WaitForUpgrades(upgrades + 1, 30s)) throw Failure("the agent did not connect");
    WaitForEachInFull(server, first);
  };
  MeasureAtRest(agent, [&] { settled(0, 0); }, "TarvikService from its own folder with a profile", options.seconds,
                kMacIdleCpuTargetPercent);
  MeasureCommandLatency(server, tap, agent);
  // It sends no "VcpState": a round is applied once each monitor has its last value of the round.
  MeasureMemoryUnderLoad(
      server, agent,
      [&](std::size_t, int firstCommand, WallClock::time_point sent) {
        for (int n = firstCommand + kCommandsPerReconnect - static_cast<int>(kMonitors);
             n < firstCommand + kCommandsPerReconnect; ++n)
          if (!tap.WaitForWrite(Serial(static_cast<std::size_t>(n) % kMonitors), kBrightness,
                                static_cast<std::uint16_t>(n % 101), sent, 60s))
            throw Failure("the display commands of a round never reached their monitors");
      },
      settled);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--agent") options.agent = value;
    else if (name == "--program") options.program = value;
    else if (name == "--monsim-socket") options.monsimSocket = value;
    else if (name == "--tap-socket") options.tapSocket = value;
    else if (name == "--seconds") options.seconds = std::atoi(value.c_str());
    else if (name == "--folder") options.folder = value;
    else return std::nullopt;
  }
  if (argc % 2 == 0 || (options.agent != "windows" && options.agent != "macos") || options.program.empty() ||
      options.monsimSocket.empty() || options.tapSocket.empty() || options.seconds < 1 ||
      (options.agent == "macos" && options.folder.empty()))
    return std::nullopt;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  // Each figure shows as soon as it is measured, also when the output is a file.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: agent-cost --agent windows|macos --program PROGRAM --monsim-socket SOCKET --tap-socket SOCKET\n"
                 "                  [--seconds N] [--folder DIR]\n";
    return 2;
  }
  try {
    if (options->agent == "windows") MeasureWindows(*options);
    else MeasureMac(*options);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "agent-cost: could not measure: " << e.what() << "\n";
    return 1;
  }
}
