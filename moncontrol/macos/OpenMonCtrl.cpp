#include "foundation/clock/Clock.h"
#include "moncontrol/macos/MacApi.h"
#include "moncontrol/macos/support/MacLog.h"
#include "moncontrol/macos/support/Utf8.h"

mchid::hid_device* OpenMonCtrl2(std::uint32_t vendorId, std::uint32_t productId, const wchar_t* serial,
                                std::int32_t interfaceNumber) {
  LogInfo("OpenMonCtrl2 try to open device!");
  mchid::hid_device* handle = mchid::hid_open(static_cast<std::uint16_t>(vendorId),
                                              static_cast<std::uint16_t>(productId), serial, interfaceNumber);
  if (handle == nullptr) {
    LogError("OpenMonCtrl2 unable to open device %x,%x,%s,%d", vendorId, productId, WStringToUtf8(serial).c_str(),
             interfaceNumber);
    return nullptr;
  }
  LogInfo("OpenMonCtrl2 device %x,%x,%s,%d", vendorId, productId, WStringToUtf8(serial).c_str(), interfaceNumber);
  return handle;
}

mchid::hid_device* OpenMonCtrl3(const tagMONCTRLINFO* info, int timeoutMs) {
  if (info == nullptr) return nullptr;
  if (timeoutMs < 0) timeoutMs = kOpenMonCtrl3DefaultTimeoutMs;
  LogInfo("OpenMonCtrl3 try to open device!");
  // Wide enough that a time-out near the int limit still ends.
  for (std::int64_t elapsed = 0; elapsed <= timeoutMs; elapsed += kOpenMonCtrl3RetryMs) {
    LogInfo("OpenMonCtrl3 try to open device == %d!", static_cast<int>(elapsed));
    // The serial as the whole wide text it is, not its first character.
    LogInfo("OpenMonCtrl3 try to open device %x,%x,%s,%d", info->vendor_id, info->product_id,
            WStringToUtf8(info->serial_number).c_str(), info->interface_number);
    mchid::hid_device* handle =
        OpenMonCtrl2(info->vendor_id, info->product_id, info->serial_number, info->interface_number);
    LogInfo("OpenMonCtrl3 handle == %p", static_cast<void*>(handle));
    if (handle != nullptr) return handle;
    tarvik::SleepMs(kOpenMonCtrl3RetryMs);
  }
  return nullptr;
}
