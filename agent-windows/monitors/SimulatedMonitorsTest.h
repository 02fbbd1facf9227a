// What the tests of the agent's monitor code share: the library initialised over simulated
// monitors in the process, the fake clock, "Global\HalvaneSDK" created as the agent creates it,
// and an empty registry before and after every test.
#pragma once

#include <future>
#include <string>
#include <thread>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/transport/ListenerApi.h"
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

// "Global\HalvaneSDK" held by another thread for the object's life, as another process using
// the library would hold it.
class GlobalMutexHeldElsewhere {
 public:
  GlobalMutexHeldElsewhere() {
    std::promise<void> taken;
    std::future<void> isTaken = taken.get_future();
    m_holder = std::thread([this, &taken] {
      HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\HalvaneSDK");
      WaitForSingleObject(mutex, INFINITE);
      taken.set_value();
      m_release.get_future().wait();
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    });
    isTaken.wait();
  }
  ~GlobalMutexHeldElsewhere() {
    m_release.set_value();
    m_holder.join();
  }
  GlobalMutexHeldElsewhere(const GlobalMutexHeldElsewhere&) = delete;
  GlobalMutexHeldElsewhere& operator=(const GlobalMutexHeldElsewhere&) = delete;

 private:
  std::promise<void> m_release;
  std::thread m_holder;
};

class SimulatedMonitorsTest : public MonCtrlTest {
 protected:
  void SetUp() override {
    MonCtrlTest::SetUp();
    CreateAgentMutex();
    InitMonitorRegistry();
  }

  void TearDown() override {
    StopAllMonCtrlListener();
    InitMonitorRegistry();  // closes the cached handles
    MonCtrlTest::TearDown();
  }

  // Adds an AgentMonitor to the simulator; its id is the serial.
  std::string AddMonitor(const std::wstring& serial) { return Simulator().Add(AgentMonitor(serial)); }
};

}  // namespace monitortest
