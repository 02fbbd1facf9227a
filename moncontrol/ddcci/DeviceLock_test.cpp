#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciTest.h"

namespace {

using DeviceLockTest = DdcciTest;

struct Command {
  const char* name;
  std::function<std::int32_t(mchid::hid_device*)> run;
};

std::vector<Command> EveryLockingCommand() {
  return {
      {"GetVCPFeatureL",
       [](mchid::hid_device* h) {
         std::int32_t c, m;
         return GetVCPFeatureL(h, 0x10, &c, &m);
       }},
      {"SetVCPFeatureL", [](mchid::hid_device* h) { return SetVCPFeatureL(h, 0x10, 1); }},
      {"GetCapabilities",
       [](mchid::hid_device* h) {
         std::uint32_t length = 0;
         std::vector<char> out(kCapabilitiesMaxLength);
         return GetCapabilities(h, &length, out.data());
       }},
      {"SEND_CMD_DDCCI",
       [](mchid::hid_device* h) {
         const std::uint8_t frame[] = {0x51, 0x82, 0x01, 0x10, 0xAC};
         std::uint8_t reply[1024];
         std::uint32_t length = 0;
         return SEND_CMD_DDCCI(h, sizeof frame, &length, frame, reply);
       }},
      {"GetVCPFeatureDaisyChain",
       [](mchid::hid_device* h) {
         std::int32_t c, m;
         return GetVCPFeatureDaisyChain(h, 1, 0x10, &c, &m);
       }},
      {"SetVCPFeatureDaisyChain", [](mchid::hid_device* h) { return SetVCPFeatureDaisyChain(h, 1, 0x10, 1); }},
  };
}

// Ends a capability read at once; the other commands do not mind it.
const Bytes kEndOfCapabilities{0x6E, 0x83};

TEST_F(DeviceLockTest, EveryCommandHoldsItsDevicesMutexDuringTheExchange) {
  CreateAgentMutex();
  mchid::hid_device* unregistered = OpenUnregistered(m_device->Collection().path);
  ASSERT_NE(unregistered, nullptr);
  struct Handle {
    mchid::hid_device* handle;
    std::wstring mutex;
  };
  for (const Handle& h : {Handle{m_handle, KeyOf(L"D1")}, Handle{unregistered, L"Global\\HalvaneSDK"}}) {
    for (const Command& command : EveryLockingCommand()) {
      SCOPED_TRACE(testing::Message() << command.name << " on " << h.mutex);
      std::vector<bool> held;
      m_device->AnswerEveryRequest(RecordingMutexHeld(h.mutex, held, testkit::ReplyStatus(0, kEndOfCapabilities)));
      command.run(h.handle);
      EXPECT_EQ(held, std::vector<bool>{true});
    }
  }
}

TEST_F(DeviceLockTest, NoMutexToTakeFailsEveryCommandBeforeItSends) {
  // An unregistered handle without the agent's mutex, and a key whose mutex could not be made.
  mchid::hid_device* unregistered = OpenUnregistered(m_device->Collection().path);
  const std::wstring tooLong(300, L'Z');
  auto other = AddScriptedMonitor(tooLong);
  mchid::hid_device* unnamed = OpenRegistered(tooLong);
  ASSERT_NE(unregistered, nullptr);
  ASSERT_NE(unnamed, nullptr);
  for (mchid::hid_device* handle : {unregistered, unnamed}) {
    for (const Command& command : EveryLockingCommand()) {
      SCOPED_TRACE(command.name);
      EXPECT_EQ(command.run(handle), MC_ERR_MUTEX);
    }
  }
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_EQ(other->Requests().size(), 0u);
}

TEST_F(DeviceLockTest, AMutexHeldElsewhereIsWaitedForTwoSecondsThenGivenUp) {
  std::promise<void> taken;
  std::promise<void> release;
  std::thread holder([&] {
    HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, KeyOf(L"D1").c_str());
    WaitForSingleObject(mutex, INFINITE);
    taken.set_value();
    release.get_future().wait();
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  });
  taken.get_future().wait();

  auto start = std::chrono::steady_clock::now();
  std::int32_t current = -1, maximum = -1;
  std::int32_t result = GetVCPFeatureL(m_handle, 0x10, &current, &maximum);
  auto waited = std::chrono::steady_clock::now() - start;
  release.set_value();
  holder.join();

  EXPECT_EQ(result, MC_ERR_MUTEX);
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_EQ(current, 0);
}

}  // namespace
