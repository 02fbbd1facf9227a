// A small monitor for the simulator's tests: serial "S1", a control collection beside a
// consumer-control one, brightness 50 of 100, a capability string and one chained monitor.
#pragma once

#include "testkit/monsim/MonitorDescription.h"

namespace monsim::testing {

inline MonitorDescription SmallMonitor() {
  MonitorDescription m;
  m.serial = L"S1";
  m.manufacturer = L"Quelmo";
  m.product = L"Halvane 27";
  m.collections = {CollectionDescription{}, CollectionDescription{0x0C, 1, 1, 3, 3}};
  m.display.vcp[0x10] = {50, 100, 0};
  m.display.capabilities = "(prot(monitor)vcp(10))";
  m.chain[1].vcp[0x10] = {20, 100, 0};
  return m;
}

}  // namespace monsim::testing
