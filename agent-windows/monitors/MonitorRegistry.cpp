#include "agent-windows/monitors/MonitorRegistry.h"

#include <algorithm>
#include <utility>

#include "agent-windows/monitors/RegistryStore.h"
#include "foundation/log/Log.h"
#include "foundation/text/TimeText.h"

namespace {

// fn(MonitorRegistry&) under the registry lock; released on every way out.
template <typename Fn>
decltype(auto) WithRegistry(Fn&& fn) {
  RegistryLock lock;
  return std::forward<Fn>(fn)(lock.Store().mapMonitorCtrl);
}

// fn(MonitorState&) under the lock when the serial is known.
template <typename Fn>
void WithKnownMonitor(const std::string& serial, Fn&& fn) {
  WithRegistry([&](MonitorRegistry& monitors) {
    const auto found = monitors.find(serial);
    if (found != monitors.end()) std::forward<Fn>(fn)(found->second);
  });
}

}  // namespace

RegistryStore& TheRegistryStore() {
  static RegistryStore* store = new RegistryStore();
  return *store;
}

void InitMonitorRegistry() {
  DroppedHandles dropped;
  RegistryLock lock;
  lock.Store().mapMonitorCtrl.clear();
  dropped.TakeAll(lock.Store());
}

bool IsDueForFullReport(const MonitorState& state, std::int64_t now) {
  // Unsigned throughout: no overflow, and a future time wraps to a large age.
  const std::uint64_t age =
      static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(state.last_update_time);
  return state.need_update && age > 5;
}

bool HasStaleMonitor() {
  const std::int64_t now = GetCurrSeconds();
  return WithRegistry([now](const MonitorRegistry& monitors) {
    return std::any_of(monitors.begin(), monitors.end(),
                       [now](const auto& monitor) { return IsDueForFullReport(monitor.second, now); });
  });
}

void CopyMonitorRegistry(MonitorRegistry& copy) {
  copy = WithRegistry([](const MonitorRegistry& monitors) { return monitors; });
}

void PutMonitorState(const MonitorState& state) {
  WithRegistry([&state](MonitorRegistry& monitors) { monitors.insert_or_assign(state.sn, state); });
}

void MarkAllMonitorsStale() {
  WithRegistry([](MonitorRegistry& monitors) {
    for (auto& [serial, state] : monitors) state.need_update = true;
  });
}

void SetNeedUpdate(std::string serial, bool needUpdate) {
  WithKnownMonitor(serial, [needUpdate](MonitorState& state) { state.need_update = needUpdate; });
}

void SetNeedSetUsbAlwayOn(std::string serial, bool needSet) {
  WithKnownMonitor(serial, [needSet](MonitorState& state) { state.needSetUsbAlwayOn = needSet; });
}

void SetLockStatus(std::string serial, std::int32_t lockStatus) {
  WithKnownMonitor(serial, [lockStatus](MonitorState& state) { state.lockStatus = lockStatus; });
}

void SetPowerStatus(std::string serial, std::int32_t powerStatus) {
  WithKnownMonitor(serial, [powerStatus](MonitorState& state) { state.powerStatus = powerStatus; });
}

void SetMonitorStatusValues(std::string serial, std::uint8_t monitorStatus, std::int32_t useTimes,
                            std::int32_t lockStatus) {
  WithKnownMonitor(serial, [&](MonitorState& state) {
    state.monitorStatus = monitorStatus;
    state.useTimes = useTimes;
    state.lockStatus = lockStatus;
  });
}

void UpdateDeviceMutexStatus(std::string serial, std::uint8_t index, std::uint32_t value) {
  if (index >= std::tuple_size_v<decltype(MonitorState::mutexStatus)>) {
    LogWarn(L"UpdateDeviceMutexStatus idx is invalid. idx = %d", static_cast<int>(index));
    return;
  }
  WithKnownMonitor(serial, [&](MonitorState& state) {
    LogInfo(L"UpdateDeviceMutexStatus idx=%d , value=%d", static_cast<int>(index),
            static_cast<int>(value));
    state.mutexStatus[index] = value;
  });
}
