// The enumeration list's records and their texts, as every HID layer allocates them (malloc).
#pragma once

#include <cstdlib>

#include "moncontrol/hid/HidApi.h"

namespace mchid {

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
