// The full status report of 16 monitors against the in-process simulator, which answers at
// once. The clock does not sleep: the pauses are counted, reported per report. The device
// reads alone (the same library calls on the same monitors, without the agent around them)
// are measured apart, so that the agent's own share is the difference of the two.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/SimulatedMonitor.h"
#include "agent-windows/monitors/StatusReports.h"
#include "foundation/text/TimeText.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/tables/CapstringToMap.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/monsim/Simulator.h"

namespace {

constexpr int kMonitors = 16;

std::string Serial(int i) { return "BENCH" + std::to_string(100 + i); }
std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// 16 simulated monitors in the registry, due for a full report, the library initialised over
// them, named mutexes in a folder of the benchmark's own, log lines formatted into a null sink.
class DueMonitors {
 public:
  DueMonitors() : m_objects(std::filesystem::temp_directory_path() / "tarvik-bench-XXXXXX") {
    std::string folder = m_objects.string();
    if (mkdtemp(folder.data()) == nullptr) return;
    m_objects = folder;
    setenv("TARVIK_KERNEL_OBJECTS", folder.c_str(), 1);
    spdlog::set_default_logger(
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));
    for (int i = 0; i < kMonitors; ++i) m_simulator->Add(monitortest::AgentMonitor(Wide(Serial(i))));
    mchid::SetHidBackend(m_simulator);
    Init();
    InitMonitorRegistry();
    for (int i = 0; i < kMonitors; ++i) {
      MonitorState state;
      state.vendor_id = 0x3A71;
      state.product_id = 0xF00F;
      state.interface_number = -1;
      state.sn = Serial(i);
      state.need_update = true;
      state.last_update_time = GetCurrSeconds() - 60;
      PutMonitorState(state);
      m_handles.push_back(GetMonitorHandle(state));
    }
    m_ready = std::find(m_handles.begin(), m_handles.end(), nullptr) == m_handles.end();
  }
  ~DueMonitors() {
    InitMonitorRegistry();  // closes the cached handles
    Uninit();
    mchid::SetHidBackend(nullptr);
    spdlog::set_default_logger(m_previousLogger);
    std::filesystem::remove_all(m_objects);
  }

  bool Ready() const { return m_ready; }
  const std::vector<mchid::hid_device*>& Handles() const { return m_handles; }
  // The pauses asked for since the last call, in milliseconds; forgotten, so the record
  // stays small.
  long long TakePausedMs() {
    const long long paused = m_clock.TotalSleptMs();
    m_clock.ClearSleeps();
    return paused;
  }
  // Keeps the simulator's record of requests small.
  void ForgetRequests() { m_simulator->ClearRequests(); }

 private:
  std::filesystem::path m_objects;
  std::shared_ptr<spdlog::logger> m_previousLogger = spdlog::default_logger();
  testkit::FakeClock m_clock;
  std::shared_ptr<monsim::Simulator> m_simulator = std::make_shared<monsim::Simulator>();
  std::vector<mchid::hid_device*> m_handles;
  bool m_ready = false;
};

// Every library call the report makes on one monitor, in its order, results discarded.
void ReadAsTheReportDoes(mchid::hid_device* handle) {
  CallGetMonitorCount(handle, 0);
  std::free(CallGetMonitorInfo(handle, 0));
  std::uint8_t error = 0;
  CallGetMonitorStatus(handle, 0, &error);
  const std::int32_t mutexWord[kVcpVectorLength] = {0xFA, 0, 0, 0, 0, 0};
  SetVCPFeatureByVector(handle, mutexWord, 0);
  for (std::int32_t code : {0xFA, 0xC0, 0xF6, 0xD6}) GetVCPFeatureByVector(handle, code, 0);

  std::vector<char> capabilities(6400, '\0');
  std::uint32_t length = static_cast<std::uint32_t>(capabilities.size());
  GetCapabilities(handle, &length, capabilities.data());
  std::array<KeyValuePair, 100> pairs{};
  std::int32_t count = 0;
  CapstringToMap(&length, capabilities.data(), pairs.data(), static_cast<std::int32_t>(pairs.size()), &count);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint16_t code = static_cast<std::uint16_t>(std::strtoul(pairs[i].key, nullptr, 16));
    benchmark::DoNotOptimize(code > 0xFF ? GetVCPFeatureByVector(handle, code >> 8, code & 0xFF)
                                         : GetVCPFeatureByVector(handle, code, 0));
    std::free(pairs[i].key);
    std::free(pairs[i].value);
  }
}

template <typename Fn>
double SecondsOf(Fn&& fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The time shown is the whole report's. Each iteration also runs the report's device reads
// alone, alternating which goes first, so that the pair sees the same machine load; their
// difference is the agent's own share.
void BM_FullStatusReport(benchmark::State& state) {
  DueMonitors monitors;
  if (!monitors.Ready()) {
    state.SkipWithError("the simulated monitors did not open");
    return;
  }
  double deviceSeconds = 0;
  double agentSeconds = 0;
  long long pausedMs = 0;
  bool reportFirst = true;
  for (auto _ : state) {
    const auto report = [&] {
      benchmark::DoNotOptimize(GetAllInfo().data());
      MarkAllMonitorsStale();
      pausedMs += monitors.TakePausedMs();
    };
    const auto device = [&] {
      for (mchid::hid_device* handle : monitors.Handles()) ReadAsTheReportDoes(handle);
      monitors.TakePausedMs();
    };
    double reportTime = 0;
    double deviceTime = 0;
    if (reportFirst) {
      reportTime = SecondsOf(report);
      deviceTime = SecondsOf(device);
    } else {
      deviceTime = SecondsOf(device);
      reportTime = SecondsOf(report);
    }
    reportFirst = !reportFirst;
    state.SetIterationTime(reportTime);
    deviceSeconds += deviceTime;
    agentSeconds += reportTime - deviceTime;
    monitors.ForgetRequests();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMonitors);
  const auto perReport = [&](double seconds) {
    return benchmark::Counter(seconds * 1e6, benchmark::Counter::kAvgIterations);
  };
  state.counters["device_us_per_report"] = perReport(deviceSeconds);
  state.counters["agent_us_per_report"] = perReport(agentSeconds);
  // The 50 ms after each code read and the library's 200 ms inside each 0xF8-page read.
  state.counters["pause_ms_per_report"] =
      benchmark::Counter(static_cast<double>(pausedMs), benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_FullStatusReport)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
