// One enumeration of the maker's HID collections, freed at the end of its scope.
#pragma once

#include "moncontrol/hid/HidApi.h"

class MonCtrlEnumeration {
 public:
  MonCtrlEnumeration();
  ~MonCtrlEnumeration();
  MonCtrlEnumeration(const MonCtrlEnumeration&) = delete;
  MonCtrlEnumeration& operator=(const MonCtrlEnumeration&) = delete;

  // fn(const hid_device_info&) for every listed collection in enumeration order: every one
  // when all is set, else the monitor-control interfaces only.
  template <typename Fn>
  void ForEach(bool all, Fn&& fn) const {
    for (const mchid::hid_device_info* info = m_devices; info != nullptr; info = info->next)
      if (all || IsMonCtrlInterface(*info)) fn(*info);
  }

  static bool IsMonCtrlInterface(const mchid::hid_device_info& info);

 private:
  mchid::hid_device_info* m_devices;
};
