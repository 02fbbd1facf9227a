// Reading an IOKit HID device's properties as the layer's numbers and wide strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/macos/IOKitHid.h"

namespace mchid {

// 0 when the device lacks the property or it is not a number.
std::int32_t NumberProperty(IOHIDDeviceRef device, CFStringRef key);
// Nothing when the device lacks the property or it is not a string.
std::optional<std::wstring> WideProperty(IOHIDDeviceRef device, CFStringRef key);

}  // namespace mchid
