// The pass that rebuilds the registry after a device change.
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "agent-windows/GlobalMutex.h"
#include "agent-windows/monitors/DeviceReads.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/RegistryStore.h"
#include "agent-windows/monitors/VcpCodes.h"
#include "foundation/log/Log.h"
#include "foundation/sync/MutexGuard.h"
#include "foundation/text/TextConversion.h"
#include "foundation/text/TimeText.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/transport/ListenerApi.h"

namespace {

struct FreeList {
  void operator()(tagMONCTRLINFO* list) const { std::free(list); }
};
using InterfaceList = std::unique_ptr<tagMONCTRLINFO, FreeList>;

// The enumerated interfaces; a negative count reads as none.
std::vector<tagMONCTRLINFO> EnumerateInterfaces() {
  tagMONCTRLINFO* raw = nullptr;
  const std::int32_t count = GetMonCtrlList(&raw, 0);
  InterfaceList list(raw);
  LogInfo(L"OnDeviceChangeRebindMessage GetMonCtrlList %d", static_cast<int>(count));
  if (count <= 0 || !list) return {};
  return std::vector<tagMONCTRLINFO>(list.get(), list.get() + count);
}

// The interface's serial, read within its field.
std::wstring SerialOf(const tagMONCTRLINFO& info) {
  return std::wstring(info.serial_number, wcsnlen(info.serial_number, kMonCtrlInfoStringLength));
}

// Why opening a new monitor stopped early, for its warning line.
enum class OpenFailure { None, Mutex, Open, Count };

// The first look at a new monitor, under "Global\HalvaneSDK": its handle joins the cache and
// what it reads goes into its record.
OpenFailure OpenNewMonitor(RegistryStore& store, const tagMONCTRLINFO& info, const std::wstring& wideSerial,
                           const std::string& serial) {
  LogInfo(L"OnDeviceChangeRebindMessage =  MutexGuard Get .");
  MutexGuard guard(kGlobalMutexName, kGlobalMutexWaitMs);
  if (!guard.IsLocked()) return OpenFailure::Mutex;
  mchid::hid_device* handle =
      OpenMonCtrl2(info.vendor_id, info.product_id, wideSerial.c_str(), info.interface_number);
  if (handle == nullptr) return OpenFailure::Open;
  if (CallGetMonitorCount(handle, 0) == 0) {
    CloseMonCtrl(handle);
    return OpenFailure::Count;
  }
  store.mapMonitorHandle[serial] = handle;

  LogInfo(L"OnDeviceChangeRebindMessage Start 0xEC .");
  WriteVcpValue(handle, kVcpUsbAlwaysOn, kUsbAlwaysOnValue);
  std::uint8_t statusError = 0;
  const std::uint8_t status = CallGetMonitorStatus(handle, 0, &statusError);
  LogInfo(L"OnDeviceChangeRebindMessage Start 0xC0 .");
  const std::int32_t useTimes = CurrentVcpValue(handle, kVcpUseTimes);
  LogInfo(L"OnDeviceChangeRebindMessage Start 0xF6 .");
  const std::int32_t lockStatus = CurrentVcpValue(handle, kVcpLockStatus);
  LogInfo(L"OnDeviceChangeRebindMessage Start 0xD6 .");
  const std::int32_t powerStatus = CurrentVcpValue(handle, kVcpPowerMode);
  LogInfo(L"OnDeviceChangeRebindMessage Start 0xFA .");
  const std::uint32_t mutexWord = ReadDeviceMutexWord(handle);

  MonitorState& state = store.mapMonitorCtrl[serial];
  state.needSetUsbAlwayOn = false;
  if (statusError == 0) state.monitorStatus = status;
  state.useTimes = useTimes;
  state.lockStatus = lockStatus;
  state.powerStatus = powerStatus;
  state.mutexStatus[0] = mutexWord;
  LogInfo(L"OnDeviceChangeRebindMessage Over.");
  return OpenFailure::None;
}

void LogOpenFailure(OpenFailure failure, int index, const wchar_t* serial) {
  switch (failure) {
    case OpenFailure::Mutex:
      LogWarn(L"OnDeviceChangeRebindMessage MutexGuard. %d = %s", index, serial);
      break;
    case OpenFailure::Open:
      LogWarn(L"OnDeviceChangeRebindMessage OpenMonCtrl2. %d = %s", index, serial);
      break;
    case OpenFailure::Count:
      LogWarn(L"OnDeviceChangeRebindMessage CallGetMonitorCount. %d = %s", index, serial);
      break;
    case OpenFailure::None:
      break;
  }
}

// Listeners are stopped with the registry lock released: a listener waiting for that lock in
// MonitorCallback would otherwise never let the stop finish.
void RestartListeners(const std::vector<const tagMONCTRLINFO*>& monitors) {
  StopAllMonCtrlListener();
  for (const tagMONCTRLINFO* info : monitors)
    SetFuncCallback(static_cast<int>(info->vendor_id), static_cast<int>(info->product_id), SerialOf(*info).c_str(),
                    MonitorCallback);
}

}  // namespace

bool OnDeviceChangeRebindMessage() {
  LogInfo(L"OnDeviceChangeRebindMessage Start!!!!!");
  // The refresh thread, the only user of cached handles, is the one running this pass.
  DroppedHandles dropped;
  RegistryLock lock;
  RegistryStore& store = lock.Store();
  const std::vector<tagMONCTRLINFO> interfaces = EnumerateInterfaces();
  dropped.TakeAll(store);
  std::set<std::string> seen;
  std::vector<const tagMONCTRLINFO*> kept;
  OpenFailure failure = OpenFailure::None;
  int failedIndex = 0;
  for (std::size_t i = 0; i < interfaces.size() && failure == OpenFailure::None; ++i) {
    const tagMONCTRLINFO& info = interfaces[i];
    const std::wstring wideSerial = SerialOf(info);
    const std::string serial = wideSerial.empty() ? std::string() : WStringToString(wideSerial);
    if (serial.empty()) {
      // One interface without a serial must not keep the others from being rebound.
      LogWarn(L"OnDeviceChangeRebindMessage find wrong serial number. %d = %s", static_cast<int>(i),
              wideSerial.c_str());
      continue;
    }
    const std::int64_t now = GetCurrSeconds();
    const auto known = store.mapMonitorCtrl.find(serial);
    if (known != store.mapMonitorCtrl.end()) {
      known->second.need_update = true;
      known->second.last_update_time = now;
      known->second.needSetUsbAlwayOn = true;
    } else {
      MonitorState state;
      state.vendor_id = static_cast<std::int32_t>(info.vendor_id);
      state.product_id = static_cast<std::int32_t>(info.product_id);
      state.interface_number = info.interface_number;
      state.sn = serial;
      state.need_update = true;
      state.last_update_time = now;
      state.needSetUsbAlwayOn = true;
      store.mapMonitorCtrl.emplace(serial, state);
      failure = OpenNewMonitor(store, info, wideSerial, serial);
      failedIndex = static_cast<int>(i);
    }
    seen.insert(serial);
    kept.push_back(&info);
  }
  if (failure != OpenFailure::None) {
    lock.Release();
    LogOpenFailure(failure, failedIndex, SerialOf(interfaces[static_cast<std::size_t>(failedIndex)]).c_str());
    return false;
  }
  std::erase_if(store.mapMonitorCtrl, [&seen](const auto& entry) { return !seen.contains(entry.first); });
  lock.Release();
  RestartListeners(kept);
  LogInfo(L"OnDeviceChangeRebindMessage End!!!!!");
  return true;
}
