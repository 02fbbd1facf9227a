// The agent's biggest server messages, each way: a full status report of 16 monitors with 40 VCP
// codes each, written out from the values read; and a display command for 16 monitors with 10
// settings each, parsed into six-integer command records. Times are per message.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "agent-windows/monitors/PendingVcpCommand.h"
#include "agent-windows/monitors/StatusEntries.h"

using nlohmann::json;

namespace {

constexpr int kMonitors = 16;
constexpr int kVcpCodes = 40;
constexpr int kCommandsPerMonitor = 10;

std::string Serial(int monitor) { return "TVK24Q" + std::to_string(100000 + monitor); }

// Every fourth code is a two-byte code of the 0xF8 page.
std::uint16_t VcpCode(int i) {
  return i % 4 == 3 ? static_cast<std::uint16_t>(0xF800 + i) : static_cast<std::uint16_t>(0x10 + i);
}

// What a full report reads from one monitor.
FullStatusEntry FullEntry(int monitor) {
  FullStatusEntry entry;
  entry.index = monitor;
  entry.vendorId = 0x3A71;
  entry.productId = 0xF00F;
  entry.serialNumber = Serial(monitor);
  entry.interfaceNumber = 2;
  entry.powerStatus = 1;
  entry.monitorStatus = 3;
  entry.modelName = "TV-2415Q";
  entry.specialId = "Q24A";
  entry.modelVersion = "05.03T";
  entry.mutexInt = 0x00640032;
  entry.useTimes = 8211;
  for (int i = 0; i < kVcpCodes; ++i) {
    const std::uint16_t code = VcpCode(i);
    entry.vcpFuncMap.push_back({code, {1, 2, 4, 8, 15}});
    if (code < 0x100)
      entry.funcList.push_back({{code, 50 + i, 100, 0}, 3});
    else
      entry.funcList.push_back({{0xF8, code & 0xFF, i % 3, 2}, 4});
  }
  return entry;
}

void BM_BuildAndSerialiseFullStatusReport(benchmark::State& state) {
  std::vector<FullStatusEntry> monitors;
  for (int monitor = 0; monitor < kMonitors; ++monitor) monitors.push_back(FullEntry(monitor));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::vector<std::string> entries;
    for (const FullStatusEntry& monitor : monitors) entries.push_back(FullStatusEntryText(monitor));
    std::string text = StatusReportText(entries);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildAndSerialiseFullStatusReport)->Unit(benchmark::kMicrosecond);

std::string DisplayCommandText() {
  json monitors = json::array();
  for (int monitor = 0; monitor < kMonitors; ++monitor) {
    json funcList = json::array();
    for (int i = 0; i < kCommandsPerMonitor; ++i)
      funcList.push_back(i % 3 == 2 ? json{0xF8, 0x20 + i, i} : json{0x10 + i, 40 + i});
    monitors.push_back({{"serialNumber", Serial(monitor)}, {"funcList", std::move(funcList)}});
  }
  return json{{"type", "displayCommand"}, {"cmdid", 123456789}, {"monitorList", std::move(monitors)}}
      .dump();
}

PendingVcpCommand CommandRecord(const std::string& serial, const json& command) {
  PendingVcpCommand record;
  record.serial = serial;
  const bool extended = command.at(0).get<std::int32_t>() == 0xF8;
  const std::size_t used = extended ? 3 : 2;
  for (std::size_t i = 0; i < used; ++i) record.command[i] = command.at(i).get<std::int32_t>();
  return record;
}

void BM_ParseDisplayCommand(benchmark::State& state) {
  const std::string text = DisplayCommandText();
  for (auto _ : state) {
    json message = json::parse(text);
    std::vector<PendingVcpCommand> records;
    for (const json& monitor : message.at("monitorList")) {
      const std::string& serial = monitor.at("serialNumber").get_ref<const std::string&>();
      for (const json& command : monitor.at("funcList"))
        records.push_back(CommandRecord(serial, command));
    }
    benchmark::DoNotOptimize(records.data());
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ParseDisplayCommand)->Unit(benchmark::kMicrosecond);

}  // namespace
