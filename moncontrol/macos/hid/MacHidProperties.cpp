#include "moncontrol/macos/hid/MacHidProperties.h"

namespace mchid {

std::int32_t NumberProperty(IOHIDDeviceRef device, CFStringRef key) {
  CFTypeRef value = IOHIDDeviceGetProperty(device, key);
  std::int32_t number = 0;
  if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return 0;
  CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number);
  return number;
}

std::optional<std::wstring> WideProperty(IOHIDDeviceRef device, CFStringRef key) {
  CFTypeRef value = IOHIDDeviceGetProperty(device, key);
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return std::nullopt;
  auto text = static_cast<CFStringRef>(value);
  CFIndex units = CFStringGetLength(text);
  // A UTF-16 unit becomes at most one wide character.
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  CFIndex usedBytes = 0;
  CFStringGetBytes(text, CFRangeMake(0, units), kCFStringEncodingUTF32LE, '?', false,
                   reinterpret_cast<UInt8*>(wide.data()), units * static_cast<CFIndex>(sizeof(wchar_t)), &usedBytes);
  wide.resize(static_cast<std::size_t>(usedBytes) / sizeof(wchar_t));
  return wide;
}

}  // namespace mchid
