// Registry records and change records for the tests of the monitor code.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/VcpChangeRecords.h"

namespace monitortest {

// A record whose every field differs from its default.
inline MonitorState SampleMonitor(const std::string& serial) {
  MonitorState state;
  state.vendor_id = 0x3A71;
  state.product_id = 0xF00F;
  state.interface_number = 2;
  state.sn = serial;
  state.need_update = true;
  state.last_update_time = 1000;
  state.needSetUsbAlwayOn = true;
  state.monitorStatus = 3;
  state.useTimes = 120;
  state.lockStatus = 1;
  state.powerStatus = 4;
  state.mutexStatus = {0x00640032};
  return state;
}

inline void AddChange(const wchar_t* serial, const std::array<std::int32_t, 6>& record) {
  AddVcpChangeRecord(serial, record.data(), record.size());
}

}  // namespace monitortest
