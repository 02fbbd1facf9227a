// The agent's registry of the monitors it found, keyed by serial number, with their last known
// state. One lock guards it and the handle cache: the rebind after a device change holds it for
// its whole pass, device I/O included; every other operation only for its own short work.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "moncontrol/hid/HidApi.h"

struct MonitorState {
  std::int32_t vendor_id = 0;
  std::int32_t product_id = 0;
  std::int32_t interface_number = 0;
  std::string sn;  // UTF-8, equal to the record's key
  // Due for a full status report once last_update_time is more than 5 s old.
  bool need_update = false;
  std::int64_t last_update_time = 0;  // seconds since the epoch
  bool needSetUsbAlwayOn = false;     // write VCP 0xEC = 0xFF01 at the next full report
  std::uint8_t monitorStatus = 0;
  std::int32_t useTimes = 0;     // VCP 0xC0
  std::int32_t lockStatus = 0;   // VCP 0xF6
  std::int32_t powerStatus = 0;  // VCP 0xD6, raw
  // Device-mutex status word: (maximum << 16) | current of VCP 0xFA.
  std::array<std::uint32_t, 1> mutexStatus{};

  bool operator==(const MonitorState&) const = default;
};

// Serial to record; iteration in ascending byte order numbers the report entries.
using MonitorRegistry = std::map<std::string, MonitorState>;

// Empties the registry and closes the cached handles; called once at service start, before any
// thread uses the registry.
void InitMonitorRegistry();

// Marked and more than 5 s past its time, taking now - time as unsigned, so a time ahead of the
// clock (clock set back) counts as old.
bool IsDueForFullReport(const MonitorState& state, std::int64_t now);
// Whether any record is due for a full report now.
bool HasStaleMonitor();

void CopyMonitorRegistry(MonitorRegistry& copy);
// Inserts the record under its sn, or replaces the one there.
void PutMonitorState(const MonitorState& state);

// The operations below change a known serial's record only; an unknown serial is ignored.
// Marks every record, keeping its time.
void MarkAllMonitorsStale();
void SetNeedUpdate(std::string serial, bool needUpdate);
void SetNeedSetUsbAlwayOn(std::string serial, bool needSet);
void SetLockStatus(std::string serial, std::int32_t lockStatus);
void SetPowerStatus(std::string serial, std::int32_t powerStatus);
void SetMonitorStatusValues(std::string serial, std::uint8_t monitorStatus, std::int32_t useTimes,
                            std::int32_t lockStatus);
// Refuses any index but 0 with a warning.
void UpdateDeviceMutexStatus(std::string serial, std::uint8_t index, std::uint32_t value);

// The cached handle of the monitor, or a new one opened from the record (cached even when
// null, so the next call tries again). Used by the monitor-refresh thread only.
mchid::hid_device* GetMonitorHandle(const MonitorState& state);

// Rebuilds the registry from the enumerated monitor-control interfaces: new monitors are
// opened and read once, known ones are marked for a full report, vanished ones dropped, and
// the library's listeners restarted. False when the pass ended early; the caller retries.
bool OnDeviceChangeRebindMessage();

// The library's listener callback: records a monitor's announced VCP change for the next
// heartbeat and applies its side effects on the registry.
void MonitorCallback(mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length);
