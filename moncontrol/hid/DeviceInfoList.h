// The enumeration list's records and their texts, as every HID layer allocates them (malloc).
#pragma once

#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>

#include "moncontrol/hid/HidApi.h"

namespace mchid {

// A record's copy of a text, null for none.
inline wchar_t* DuplicateWide(const std::optional<std::wstring>& text) {
  if (!text) return nullptr;
  auto* copy = static_cast<wchar_t*>(std::malloc((text->size() + 1) * sizeof(wchar_t)));
  if (copy) std::wmemcpy(copy, text->c_str(), text->size() + 1);
  return copy;
}

inline void FreeDeviceInfoList(hid_device_info* devices) {
  while (devices) {
    hid_device_info* next = devices->next;
    std::free(devices->path);
    std::free(devices->serial_number);
    std::free(devices->manufacturer_string);
    std::free(devices->product_string);
    std::free(devices);
    devices = next;
  }
}

}  // namespace mchid
