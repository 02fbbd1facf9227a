// CapstringToMap on a 1 KB capability string of a version-3 monitor: the capability string
// parsed, the model-flag table loaded and parsed, the enabled features' codes matched.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include "moncontrol/tables/CapstringToMap.h"

namespace {

std::string OneKilobyteCapabilityString() {
  const std::string end = ")mswhql(1)asset_eep(40)mccs_ver(2.2))";
  std::string caps =
      "(prot(monitor)type(LCD)model(GX27Q)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(05 06 08 0B) 16 18 1A "
      "60(0F 11 12 1B) C6(03 02 18 01 00 80 00 00 00 00 30 00 00 00 00 21 00 80 80) EB(00 01 02 03) EF(00 01) "
      "F8(06(00 01) 12(00 01) 16(00 01 02) 1A(00 01 02 03))";
  char code[32];
  for (int vcp = 0x20; caps.size() + end.size() < 1024; ++vcp) {
    std::snprintf(code, sizeof code, " %02X(00 01 02)", vcp);
    caps += code;
  }
  return caps + end;
}

void BM_CapstringToMap1K(benchmark::State& state) {
  // Every call logs a line; formatted as always, written nowhere.
  spdlog::set_default_logger(std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));
  const std::string caps = OneKilobyteCapabilityString();
  std::uint32_t length = static_cast<std::uint32_t>(caps.size() + 1);
  KeyValuePair pairs[100];
  std::int32_t count = 0;
  for (auto _ : state) {
    CapstringToMap(&length, caps.c_str(), pairs, 100, &count);
    for (std::int32_t i = 0; i < count; ++i) {
      std::free(pairs[i].key);
      std::free(pairs[i].value);
    }
  }
  if (count != 7) state.SkipWithError("unexpected pairs");
  state.counters["capsBytes"] = static_cast<double>(length);
}
BENCHMARK(BM_CapstringToMap1K)->Unit(benchmark::kMicrosecond);

}  // namespace
