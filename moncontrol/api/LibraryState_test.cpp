#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/api/MonCtrlTest.h"

namespace {

using LibraryStateTest = MonCtrlTest;

monsim::MonitorDescription Monitor(const std::wstring& serial) {
  monsim::MonitorDescription monitor;
  monitor.serial = serial;
  return monitor;
}

std::size_t g_listenersWhenStopped = 0;
void RecordStop() {
  g_listenersWhenStopped = WithLibraryState([](LibraryState& state) { return state.listeners.size(); });
}

TEST_F(LibraryStateTest, MutexNameStaysReadableAfterItsHandleIsReplacedAndClosed) {
  Simulator().Add(Monitor(L"S"));
  mchid::hid_device* first = OpenRegistered(L"S");
  const wchar_t* name = GetMutexName(first);
  mchid::hid_device* second = OpenRegistered(L"S");
  Close(second);
  Close(first);
  EXPECT_EQ(std::wstring(name), KeyOf(L"S"));
}

TEST_F(LibraryStateTest, UninitStopsTheListenersThenClosesEveryDeviceMutex) {
  Simulator().Add(Monitor(L"S1"));
  Simulator().Add(Monitor(L"S2"));
  mchid::hid_device* handle = OpenRegistered(L"S1");
  ASSERT_NE(OpenRegistered(L"S2"), nullptr);
  WithLibraryState([](LibraryState& state) { state.listeners.emplace(KeyOf(L"S1"), nullptr); });
  SetListenerStopHook(&RecordStop);

  EXPECT_EQ(Uninit(), 0);
  SetListenerStopHook(nullptr);
  EXPECT_EQ(g_listenersWhenStopped, 1u);
  EXPECT_FALSE(MutexExists(KeyOf(L"S1")));
  EXPECT_FALSE(MutexExists(KeyOf(L"S2")));
  EXPECT_TRUE(WithLibraryState([](LibraryState& state) { return state.mutexes.empty() && state.listeners.empty(); }));
  // Handles stay open and registered; opening the monitor again makes its mutex anew.
  EXPECT_EQ(GetMutexName(handle), KeyOf(L"S1"));
  EXPECT_EQ(Init(), 0);
  ASSERT_NE(OpenRegistered(L"S1"), nullptr);
  EXPECT_TRUE(MutexExists(KeyOf(L"S1")));
}

TEST_F(LibraryStateTest, ConcurrentOpensClosesAndLookupsKeepOneMutexPerKey) {
  Simulator().Add(Monitor(L"S"));
  std::atomic<bool> failed{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        mchid::hid_device* handle = OpenMonCtrl2(0x3A71, 0xF00F, L"S", -1);
        if (handle == nullptr) {
          failed = true;
          continue;
        }
        std::wstring name = DeviceMutexName(handle);
        if (name != KeyOf(L"S") && name != L"Global\\HalvaneSDK") failed = true;
        GetMutexName(handle);
        CloseMonCtrl(handle);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(failed);
  EXPECT_TRUE(WithLibraryState([](LibraryState& state) { return state.handles.empty() && state.mutexes.size() == 1; }));
}

}  // namespace
