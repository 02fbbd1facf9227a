// The cache of the device handles the agent uses, one per serial, under the registry lock.
#include <utility>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/RegistryStore.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"
#include "moncontrol/api/Devices.h"

mchid::hid_device* GetMonitorHandle(const MonitorState& state) {
  RegistryLock lock;
  auto& handles = lock.Store().mapMonitorHandle;
  const auto cached = handles.find(state.sn);
  if (cached != handles.end() && cached->second != nullptr) return cached->second;
  mchid::hid_device* handle =
      OpenMonCtrl2(static_cast<std::uint32_t>(state.vendor_id), static_cast<std::uint32_t>(state.product_id),
                   StringToWString(state.sn).c_str(), state.interface_number);
  handles[state.sn] = handle;
  LogError(L"Monitor with serial number %S not found.", state.sn.c_str());
  return handle;
}

DroppedHandles::~DroppedHandles() {
  for (const auto& [serial, handle] : m_handles) CloseMonCtrl(handle);
}

void DroppedHandles::TakeAll(RegistryStore& store) {
  m_handles.merge(std::exchange(store.mapMonitorHandle, {}));
}
