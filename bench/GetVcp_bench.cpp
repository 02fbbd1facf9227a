// One GetVCPFeatureL against the in-process simulator, which answers at once: the device
// mutex, the request, the exchange and the reply's checks. Log lines go to a null sink, so
// their formatting counts but no output does.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "moncontrol/api/Devices.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "testkit/monsim/Simulator.h"

namespace {

void BM_GetVcpFeature(benchmark::State& state) {
  std::string objects = (std::filesystem::temp_directory_path() / "tarvik-bench-XXXXXX").string();
  if (mkdtemp(objects.data()) == nullptr) {
    state.SkipWithError("no folder for the named mutexes");
    return;
  }
  setenv("TARVIK_KERNEL_OBJECTS", objects.c_str(), 1);
  auto previousLogger = spdlog::default_logger();
  spdlog::set_default_logger(std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));

  auto simulator = std::make_shared<monsim::Simulator>();
  monsim::MonitorDescription monitor;
  monitor.serial = L"BENCH1";
  monitor.display.vcp[0x10] = {50, 100, 0};
  simulator->Add(monitor);
  mchid::SetHidBackend(simulator);
  Init();
  mchid::hid_device* handle = OpenMonCtrl2(0x3A71, 0xF00F, L"BENCH1", -1);

  std::size_t calls = 0;
  for (auto _ : state) {
    std::int32_t current = 0, maximum = 0;
    if (GetVCPFeatureL(handle, 0x10, &current, &maximum) != 0) {
      state.SkipWithError("Get VCP failed");
      break;
    }
    benchmark::DoNotOptimize(current);
    if ((++calls & 1023) == 0) simulator->ClearRequests();  // keeps the record bounded
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));

  CloseMonCtrl(handle);
  Uninit();
  mchid::SetHidBackend(nullptr);
  spdlog::set_default_logger(previousLogger);
  std::filesystem::remove_all(objects);
}

BENCHMARK(BM_GetVcpFeature);

}  // namespace
