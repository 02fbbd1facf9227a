// CallGetMonitorInfo against the in-process simulator, which answers at once: the chunked
// read of the 62-byte monitor-information table, one device-mutex hold and exchange per
// chunk. The clock does not sleep; it sums the pauses the read asks for, reported per read.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "foundation/clock/Clock.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace {

class PauseSummingClock final : public tarvik::Clock {
 public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
  WallTime WallNow() override { return std::chrono::system_clock::now(); }
  void SleepFor(Duration duration) override { m_pausedMs += duration.count(); }
  long long PausedMs() const { return m_pausedMs; }

 private:
  std::atomic<long long> m_pausedMs{0};
};

// One simulated monitor, opened through the library, with its named mutexes in a folder of
// the benchmark's own and the log lines formatted into a null sink.
class OpenMonitor {
 public:
  explicit OpenMonitor(std::size_t tableChunk) : m_objects(std::filesystem::temp_directory_path() / "tarvik-bench-XXXXXX") {
    std::string folder = m_objects.string();
    if (mkdtemp(folder.data()) == nullptr) return;
    m_objects = folder;
    setenv("TARVIK_KERNEL_OBJECTS", folder.c_str(), 1);
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));
    tarvik::SetCurrentClock(&m_clock);

    monsim::MonitorDescription monitor;
    monitor.serial = L"BENCHINFO";
    monsim::MonitorInfoFields info;
    info.modelName = "Halvane 27Q";
    info.sn = "BENCHINFO";
    monitor.display.vendor.monitorInfo = monsim::EncodeMonitorInfo(info);
    monitor.display.vendor.tableChunk = tableChunk;
    m_simulator->Add(monitor);
    mchid::SetHidBackend(m_simulator);
    Init();
    m_handle = OpenMonCtrl2(0x3A71, 0xF00F, L"BENCHINFO", -1);
  }
  ~OpenMonitor() {
    CloseMonCtrl(m_handle);
    Uninit();
    mchid::SetHidBackend(nullptr);
    tarvik::SetCurrentClock(nullptr);
    spdlog::set_default_logger(m_previousLogger);
    std::filesystem::remove_all(m_objects);
  }

  mchid::hid_device* Handle() const { return m_handle; }
  monsim::Simulator& Simulator() { return *m_simulator; }
  long long PausedMs() const { return m_clock.PausedMs(); }

 private:
  std::filesystem::path m_objects;
  std::shared_ptr<spdlog::logger> m_previousLogger = spdlog::default_logger();
  PauseSummingClock m_clock;
  std::shared_ptr<monsim::Simulator> m_simulator = std::make_shared<monsim::Simulator>();
  mchid::hid_device* m_handle = nullptr;
};

void BM_GetMonitorInfo(benchmark::State& state) {
  OpenMonitor monitor(static_cast<std::size_t>(state.range(0)));
  if (monitor.Handle() == nullptr) {
    state.SkipWithError("the simulated monitor did not open");
    return;
  }
  std::size_t reads = 0;
  for (auto _ : state) {
    std::uint8_t* table = CallGetMonitorInfo(monitor.Handle(), 0);
    if (table == nullptr) {
      state.SkipWithError("the information table was not read");
      break;
    }
    benchmark::DoNotOptimize(table[0]);
    std::free(table);
    if ((++reads & 1023) == 0) monitor.Simulator().ClearRequests();  // keeps the record bounded
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["pause_ms_per_read"] =
      benchmark::Counter(static_cast<double>(monitor.PausedMs()), benchmark::Counter::kAvgIterations);
}

// Table bytes per chunk: the simulator's default, and the most a chunk holds.
BENCHMARK(BM_GetMonitorInfo)->Arg(16)->Arg(123);

}  // namespace
