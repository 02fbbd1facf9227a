// The simulated monitor that the tests and benchmarks of the agent's monitor code use.
#pragma once

#include <string>

#include "testkit/monsim/MonitorDescription.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace monitortest {

// Brightness, contrast and one setting of the 0xF8 page are enabled by the model flags.
inline constexpr const char* kCapabilities =
    "(prot(monitor)type(LCD)vcp(02 10 12 C0 C6(02 00 80 80) D6(01 04 05) EC F6 FA F8(05(00 01)))mccs_ver(2.2))";

// A monitor as the agent finds it: model "Q27" version 03.12T, brightness 50, contrast 70,
// use count 120, unlocked, powered on, setting 0xF8/0x05 at 1.
inline monsim::MonitorDescription AgentMonitor(const std::wstring& serial) {
  monsim::MonitorDescription m;
  m.id = std::string(serial.begin(), serial.end());
  m.serial = serial;
  m.manufacturer = L"Quelmo";
  m.product = L"Halvane 27";
  m.display.vcp = {{0x10, {50, 100, 0}}, {0x12, {70, 100, 0}}, {0xC0, {120, 0xFFFF, 0}}, {0xD6, {1, 5, 0}},
                   {0xEC, {0, 0xFFFF, 0}},  {0xF6, {0, 1, 0}},   {0xFA, {0, 2, 0}}};
  m.display.extended = {{0x05, {1, 1, 0}}};
  m.display.capabilities = kCapabilities;
  monsim::MonitorInfoFields info;
  info.modelName = "Q27";
  info.specialID = "A";
  info.vendorID = "QLM";
  info.sn = m.id;
  info.releaseVersion = 3;
  info.debugVersion = 12;
  m.display.vendor.monitorInfo = monsim::EncodeMonitorInfo(info);
  return m;
}

}  // namespace monitortest
