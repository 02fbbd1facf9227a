#include <cwchar>
#include <string>

#include "foundation/log/Log.h"
#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/MonCtrlEnumeration.h"

namespace {

bool SameText(const wchar_t* listed, const wchar_t* wanted) {
  return std::wcscmp(listed != nullptr ? listed : L"", wanted) == 0;
}

}  // namespace

mchid::hid_device* OpenMonCtrl(const wchar_t* product, const wchar_t* serial) {
  if (product == nullptr) return nullptr;
  const bool anySerial = serial == nullptr || *serial == L'\0';
  const mchid::hid_device_info* chosen = nullptr;
  MonCtrlEnumeration devices;
  devices.ForEach(false, [&](const mchid::hid_device_info& info) {
    if (chosen == nullptr && SameText(info.product_string, product) &&
        (anySerial || SameText(info.serial_number, serial))) {
      chosen = &info;
    }
  });
  if (chosen == nullptr) return nullptr;

  // By its path: opening by IDs, serial and interface would take another monitor when this
  // one has no serial number.
  mchid::hid_device* handle = mchid::hid_open_path(chosen->path);
  if (handle == nullptr) {
    LogError(L"OpenMonCtrl unable to open device %x,%x,%s,%d", static_cast<unsigned>(chosen->vendor_id),
             static_cast<unsigned>(chosen->product_id),
             chosen->serial_number != nullptr ? chosen->serial_number : L"", chosen->interface_number);
  }
  return handle;
}

#if !defined(TARVIK_MACOS)
// The macOS form neither registers nor locks.
mchid::hid_device* OpenMonCtrl2(std::uint32_t vendorId, std::uint32_t productId, const wchar_t* serial,
                                std::int32_t interfaceNumber) {
  const wchar_t* shown = serial != nullptr ? serial : L"";
  std::wstring key = MakeDeviceKey(vendorId, productId, serial);
  mchid::hid_device* handle = mchid::hid_open(static_cast<std::uint16_t>(vendorId),
                                              static_cast<std::uint16_t>(productId), serial, interfaceNumber);
  if (handle == nullptr) {
    LogError(L"OpenMonCtrl2 unable to open device %x,%x,%s,%d", vendorId, productId, shown, interfaceNumber);
    return nullptr;
  }
  RegisterMonCtrlDevice(handle, key);
  LogInfo(L"OpenMonCtrl2 device %x,%x,%s,%d", vendorId, productId, shown, interfaceNumber);
  return handle;
}
#endif

void CloseMonCtrl(mchid::hid_device* handle) {
  if (handle == nullptr) return;
  UnregisterMonCtrlDevice(handle);
  mchid::hid_close(handle);
}
