// What the tests of the agent's monitor code share: the library initialised over simulated
// monitors in the process, the fake clock, "Global\HalvaneSDK" created as the agent creates it,
// and an empty registry before and after every test.
#pragma once

#include <future>
#include <string>
#include <thread>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/SimulatedMonitor.h"
#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/transport/ListenerApi.h"

namespace monitortest {

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
