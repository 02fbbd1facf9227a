#include "agent-windows/monitors/StatusReports.h"

#include <vector>

#include "agent-windows/CaughtException.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/StatusEntries.h"
#include "agent-windows/monitors/VcpChangeRecords.h"
#include "foundation/log/Log.h"

namespace {

std::string EmptySampleReport() {
  LogError(L"GetSampleMonitorInfo count is less than 0 !");
  return StatusReportText({});
}

}  // namespace

std::string GetSampleMonitorInfo() {
  MonitorRegistry monitors;
  CopyMonitorRegistry(monitors);
  LogInfo(L"GetSampleMonitorInfo GetMonCtrlList = %d.", static_cast<int>(monitors.size()));
  if (monitors.empty()) return EmptySampleReport();
  try {
    std::vector<std::string> entries;
    int index = 0;
    for (const auto& [serial, state] : monitors)
      if (!state.sn.empty()) entries.push_back(ReducedStatusEntryText(index++, state, TakeVcpChangeRecords(state.sn)));
    return StatusReportText(entries);
  } catch (...) {
    LogCaughtException(L"GetSampleMonitorInfo");
  }
  LogError(L"GetSampleMonitorInfo = OVER .");
  return EmptySampleReport();
}
