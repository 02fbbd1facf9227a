#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/ByteOrder.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/ListenerApi.h"
#include "moncontrol/transport/Signature.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr int kVid = kMonCtrlVendorId;
constexpr int kPid = kMonCtrlProductId;
// Long enough for a loaded machine; a wait that runs out fails the test.
constexpr auto kPatience = 10s;

// One call of a listener's callback.
struct Received {
  int collector;
  mchid::hid_device* device;
  std::wstring serial;
  Bytes flat;

  std::uint32_t Word(int index) const { return LoadUInt32LE(flat.data() + 4 * index); }
  bool Is(std::uint32_t funcCode, std::uint32_t subCode) const { return Word(0) == funcCode && Word(1) == subCode; }
};

// What the callbacks received, across threads.
class Inbox {
 public:
  void Add(Received received) {
    {
      std::lock_guard lock(m_mutex);
      m_received.push_back(std::move(received));
    }
    m_changed.notify_all();
  }
  // True once done(received so far) holds.
  bool WaitUntil(const std::function<bool(const std::vector<Received>&)>& done) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kPatience, [&] { return done(m_received); });
  }
  bool WaitForCount(std::size_t count) {
    return WaitUntil([count](const std::vector<Received>& all) { return all.size() >= count; });
  }
  std::vector<Received> All() {
    std::lock_guard lock(m_mutex);
    return m_received;
  }
  void Clear() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Received> m_received;
};

Inbox g_inbox;

void Record(int collector, mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(message);
  g_inbox.Add({collector, device, serial != nullptr ? serial : L"", Bytes(bytes, bytes + length)});
}
void Collect(mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length) {
  Record(1, device, serial, message, length);
}
void CollectSecond(mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length) {
  Record(2, device, serial, message, length);
}

// A lock that any thread may open, so that a stop that waits for the callback fails the test
// instead of hanging it.
std::binary_semaphore g_gate{1};
void WaitAtGate(mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length) {
  Collect(device, serial, message, length);
  g_gate.acquire();
  g_gate.release();
}

void RemoveOwnListener(mchid::hid_device* device, wchar_t* serial, void* message, std::size_t length) {
  Collect(device, serial, message, length);
  RemoveMCListenThread(KeyOf(serial).c_str());
}

monsim::MonitorDescription Monitor(const std::wstring& serial) {
  monsim::MonitorDescription monitor;
  monitor.serial = serial;
  return monitor;
}

monsim::DeviceMessage VcpChanged(std::uint32_t code, std::uint32_t value, Bytes data = {}) {
  monsim::DeviceMessage message;
  message.subCode = code;
  message.param3 = value;
  message.param4 = value + 100;
  message.data = std::move(data);
  return message;
}

// A function call the monitor answers, exchanged on the handle.
std::int32_t Exchange(mchid::hid_device* device) {
  tagMCCMD_HEADER header{};
  header.cmdID = static_cast<std::uint32_t>(GetCmdID(1));
  header.cmdType = MCCMD_TYPE_FUNCTION;
  header.param1 = monsim::kFunctionMonCtrlVersion;
  std::uint8_t buffer[kWriteDataLimit] = {};
  StoreMccmdHeader(header, buffer);
  SignCmdHeader(buffer);
  std::int32_t received = 0;
  return SendCommand(device, sizeof(buffer), buffer, &received, -1);
}

std::size_t CountOf(const std::vector<Received>& all, std::uint32_t funcCode, std::uint32_t subCode) {
  return static_cast<std::size_t>(
      std::count_if(all.begin(), all.end(), [&](const Received& r) { return r.Is(funcCode, subCode); }));
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class ListenerTest : public MonCtrlTest {
 protected:
  void SetUp() override {
    MonCtrlTest::SetUp();
    g_inbox.Clear();
  }
  // Uninit may leave a listener that was in its callback to end by itself: wait for that, so
  // that no callback outlives its test.
  void TearDown() override {
    MonCtrlTest::TearDown();
    if (!m_monitors) return;
    for (const std::string& id : m_monitors->PluggedMonitors()) EXPECT_TRUE(HandlesCloseOn(id)) << id;
  }

  // Reads that wait in real time, as on a device: a quiet listener then waits between reads.
  monsim::Simulator& Monitors() {
    if (!m_monitors) {
      m_monitors = std::make_shared<monsim::Simulator>(monsim::ReadWaits::RealTime);
      mchid::SetHidBackend(m_monitors);
    }
    return *m_monitors;
  }

  static tagMONCTRL_LISTEN* Listener(const std::wstring& serial) { return GetMCListenThread(KeyOf(serial).c_str()); }

  // A listener that ends by itself closes its handle when it does.
  bool HandlesCloseOn(const std::string& id) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (Monitors().OpenHandles(id) != 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

 private:
  std::shared_ptr<monsim::Simulator> m_monitors;
};

TEST_F(ListenerTest, ReceivesMessagesSentWhileOtherHandlesExchangeCommands) {
  Monitors().Add(Monitor(L"S"));
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &Collect), 0);
  mchid::hid_device* commands = OpenRegistered(L"S");
  ASSERT_NE(commands, nullptr);

  // Payloads of 0 to 140 bytes: most take more than one input report.
  constexpr std::uint32_t kRounds = 8;
  for (std::uint32_t i = 0; i < kRounds; ++i) {
    ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, i, Bytes(20 * i, static_cast<std::uint8_t>(i)))));
    EXPECT_EQ(Exchange(commands), 0) << "round " << i;
  }
  ASSERT_TRUE(g_inbox.WaitForCount(kRounds));

  // The replies that reached the listener's handle were dropped, the messages came in order.
  const std::vector<Received> all = g_inbox.All();
  ASSERT_EQ(all.size(), kRounds);
  mchid::hid_device* own = Listener(L"S")->hidDevice;
  EXPECT_NE(own, commands);
  for (std::uint32_t i = 0; i < kRounds; ++i) {
    SCOPED_TRACE(i);
    const Received& r = all[i];
    EXPECT_EQ(r.device, own);
    EXPECT_EQ(r.serial, L"S");
    ASSERT_EQ(r.flat.size(), 20 + 20 * i);
    EXPECT_TRUE(r.Is(FUNC_CODE_VCP_CHANGED, 0x10));
    EXPECT_EQ(r.Word(2), i);
    EXPECT_EQ(r.Word(3), i + 100);
    EXPECT_EQ(r.Word(4), 20 * i);
    EXPECT_EQ(Bytes(r.flat.begin() + 20, r.flat.end()), Bytes(20 * i, static_cast<std::uint8_t>(i)));
  }
}

TEST_F(ListenerTest, UnplugAndReplugReopenTheDeviceAndReportTheConnection) {
  Monitors().Add(Monitor(L"S"));
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &Collect), 0);

  ASSERT_TRUE(Monitors().Unplug("S"));
  ASSERT_TRUE(g_inbox.WaitUntil([](const auto& all) { return CountOf(all, FUNC_CODE_CONNECTION, 0) >= 3; }));
  ASSERT_TRUE(Monitors().Plug("S"));
  ASSERT_TRUE(g_inbox.WaitUntil([](const auto& all) { return CountOf(all, FUNC_CODE_CONNECTION, 1) == 1; }));
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, 5)));
  ASSERT_TRUE(g_inbox.WaitUntil([](const auto& all) { return CountOf(all, FUNC_CODE_VCP_CHANGED, 0x10) == 1; }));

  // Failed reopens, each after its pause and without a device; then the reopen; then the
  // message, read on the new handle.
  const std::vector<Received> all = g_inbox.All();
  ASSERT_GE(all.size(), 5u);
  mchid::hid_device* reopened = Listener(L"S")->hidDevice;
  ASSERT_NE(reopened, nullptr);
  const std::size_t failed = all.size() - 2;
  for (std::size_t i = 0; i < all.size(); ++i) {
    SCOPED_TRACE(i);
    const Received& r = all[i];
    if (i < failed) {
      EXPECT_TRUE(r.Is(FUNC_CODE_CONNECTION, 0));
      EXPECT_EQ(r.device, nullptr);
    } else {
      EXPECT_TRUE(r.Is(i == failed ? FUNC_CODE_CONNECTION : FUNC_CODE_VCP_CHANGED, i == failed ? 1 : 0x10));
      EXPECT_EQ(r.device, reopened);
    }
    EXPECT_EQ(r.serial, L"S");
    if (r.Word(0) == FUNC_CODE_CONNECTION) {
      EXPECT_EQ(r.flat.size(), 20u);
      EXPECT_EQ(Bytes(r.flat.begin() + 8, r.flat.end()), Bytes(12, 0));
    }
  }
  EXPECT_EQ(m_clock.Sleeps(), std::vector<long long>(failed, 1000));
  EXPECT_EQ(Monitors().OpenHandles("S"), 1u);
  const std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(Contains(lines, "MCListenThread read of S failed (-1007), reopening"));
  EXPECT_TRUE(Contains(lines, "MCListenThread reopened S"));
}

TEST_F(ListenerTest, StoppingDoesNotWaitForACallbackBlockedOnTheStoppersLock) {
  Monitors().Add(Monitor(L"S"));
  struct Case {
    const char* name;
    std::function<void()> stop;
    bool recordStays;
  };
  const Case cases[] = {
      {"StopMonCtrlListener", [] { EXPECT_EQ(StopMonCtrlListener(KeyOf(L"S").c_str()), 0); }, true},
      {"RemoveMCListenThread", [] { EXPECT_EQ(RemoveMCListenThread(KeyOf(L"S").c_str()), 0); }, false},
      {"StopAllMonCtrlListener", [] { StopAllMonCtrlListener(); }, false},
      {"SetFuncCallback(null)", [] { EXPECT_EQ(SetFuncCallback(kVid, kPid, L"S", nullptr), 0); }, false},
      {"Uninit", [] { Uninit(); Init(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_inbox.Clear();
    ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &WaitAtGate), 0);
    g_gate.acquire();
    ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, 1)));
    ASSERT_TRUE(g_inbox.WaitForCount(1));

    // Should the stop wait for the callback, the watchdog opens the gate after a while.
    std::mutex mutex;
    std::condition_variable returned;
    bool stopReturned = false;
    bool gateForced = false;
    std::thread watchdog([&] {
      std::unique_lock lock(mutex);
      if (!returned.wait_for(lock, kPatience, [&] { return stopReturned; })) {
        gateForced = true;
        g_gate.release();
      }
    });
    c.stop();
    {
      std::lock_guard lock(mutex);
      stopReturned = true;
    }
    returned.notify_all();
    watchdog.join();
    EXPECT_FALSE(gateForced);
    if (!gateForced) g_gate.release();

    tagMONCTRL_LISTEN* record = Listener(L"S");
    ASSERT_EQ(record != nullptr, c.recordStays);
    if (record != nullptr) {
      EXPECT_EQ(record->bListen, 0);
    }
    EXPECT_EQ(RemoveMCListenThread(KeyOf(L"S").c_str()), 0);
    // The listener ends once its callback returns, and its handle goes with it.
    EXPECT_TRUE(HandlesCloseOn("S"));
  }
}

TEST_F(ListenerTest, ACallbackMayRemoveItsOwnListener) {
  Monitors().Add(Monitor(L"S"));
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &RemoveOwnListener), 0);
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, 1)));
  ASSERT_TRUE(g_inbox.WaitForCount(1));
  EXPECT_TRUE(HandlesCloseOn("S"));
  EXPECT_EQ(Listener(L"S"), nullptr);
}

TEST_F(ListenerTest, ARecordHoldsItsOwnCopiesAndTheLastCallback) {
  Monitors().Add(Monitor(L"S"));
  std::wstring serial = L"S";
  ASSERT_EQ(CreateMcListenThreadByVPSI(kVid, kPid, serial.c_str(), 0), 0);
  tagMONCTRL_LISTEN* record = Listener(L"S");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->vid, kVid);
  EXPECT_EQ(record->pid, kPid);
  EXPECT_NE(record->serialNumber, serial.c_str());
  EXPECT_STREQ(record->serialNumber, L"S");
  EXPECT_EQ(record->interfaceNumber, 0);
  EXPECT_NE(record->hidDevice, nullptr);
  EXPECT_EQ(record->bListen, 1);
  EXPECT_EQ(record->callback.load(), nullptr);

  // Made again, set twice: one listener, one handle, the second callback.
  EXPECT_EQ(CreateMcListenThreadByVPSI(kVid, kPid, L"S", -1), 0);
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &Collect), 0);
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &CollectSecond), 0);
  EXPECT_EQ(Listener(L"S"), record);
  EXPECT_EQ(Monitors().OpenHandles("S"), 1u);
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, 1, {1, 2, 3})));
  ASSERT_TRUE(g_inbox.WaitForCount(1));
  EXPECT_EQ(g_inbox.All()[0].collector, 2);
  EXPECT_EQ(g_inbox.All()[0].flat.size(), 23u);
}

TEST_F(ListenerTest, AListenerIsMadeOnlyForADeviceThatOpens) {
  Monitors().Add(Monitor(L"S"));
  struct Case {
    const wchar_t* serial;
    int interfaceNumber;
    const char* log;
  };
  const Case cases[] = {
      {L"X", -1, "CreateMcListenThreadByVPSI unable to open device 3a71,f00f,X,-1"},
      {L"S", 2, "CreateMcListenThreadByVPSI unable to open device 3a71,f00f,S,2"},
      {L"S", -2, "CreateMcListenThreadByVPSI unable to open device 3a71,f00f,S,-2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    EXPECT_EQ(CreateMcListenThreadByVPSI(kVid, kPid, c.serial, c.interfaceNumber), -1);
    EXPECT_TRUE(Contains(LogLines(spdlog::level::warn), c.log));
    EXPECT_EQ(Listener(c.serial), nullptr);
  }
  EXPECT_EQ(SetFuncCallback(kVid, kPid, L"X", &Collect), -1);
  EXPECT_EQ(SetFuncCallback(kVid, kPid, L"X", nullptr), -1);
  // A null callback for a present device makes the listener and removes it again.
  EXPECT_EQ(SetFuncCallback(kVid, kPid, L"S", nullptr), 0);
  EXPECT_EQ(Listener(L"S"), nullptr);
  EXPECT_EQ(Monitors().OpenHandles("S"), 0u);
  EXPECT_TRUE(WithLibraryState([](LibraryState& state) { return state.listeners.empty(); }));
}

TEST_F(ListenerTest, AStoppedListenerKeepsItsRecordAndHandleUntilRemoved) {
  Monitors().Add(Monitor(L"S"));
  const std::wstring key = KeyOf(L"S");
  EXPECT_EQ(StopMonCtrlListener(key.c_str()), MC_ERR_INVALID_ARG);
  EXPECT_EQ(StopMonCtrlListener(nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(RemoveMCListenThread(key.c_str()), 0);
  EXPECT_EQ(GetMCListenThread(nullptr), nullptr);

  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &Collect), 0);
  EXPECT_EQ(StopMonCtrlListener(key.c_str()), 0);
  EXPECT_EQ(StopMonCtrlListener(key.c_str()), 0);
  tagMONCTRL_LISTEN* record = Listener(L"S");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->bListen, 0);
  wchar_t serial[4] = {};
  EXPECT_EQ(mchid::hid_get_serial_number_string(record->hidDevice, serial, 4), 0);
  EXPECT_STREQ(serial, L"S");
  EXPECT_EQ(Monitors().OpenHandles("S"), 1u);

  EXPECT_EQ(RemoveMCListenThread(key.c_str()), 0);
  EXPECT_EQ(Listener(L"S"), nullptr);
  EXPECT_EQ(Monitors().OpenHandles("S"), 0u);
}

TEST_F(ListenerTest, StoppingAllReleasesEveryRecordAndHandle) {
  Monitors().Add(Monitor(L"S1"));
  Monitors().Add(Monitor(L"S2"));
  const std::pair<const char*, std::function<void()>> stops[] = {
      {"StopAllMonCtrlListener", [] { StopAllMonCtrlListener(); }},
      {"Uninit", [] { EXPECT_EQ(Uninit(), 0); EXPECT_EQ(Init(), 0); }},
  };
  for (const auto& [name, stop] : stops) {
    SCOPED_TRACE(name);
    ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S1", &Collect), 0);
    ASSERT_EQ(CreateMcListenThreadByVPSI(kVid, kPid, L"S2", -1), 0);
    ASSERT_EQ(StopMonCtrlListener(KeyOf(L"S2").c_str()), 0);
    stop();
    EXPECT_TRUE(WithLibraryState([](LibraryState& state) { return state.listeners.empty(); }));
    EXPECT_EQ(Monitors().OpenHandles("S1"), 0u);
    EXPECT_EQ(Monitors().OpenHandles("S2"), 0u);
  }
}

TEST_F(ListenerTest, AClaimedLengthBeyondTheReportIsBounded) {
  // Input reports of 40 bytes: a header and 8 payload bytes.
  monsim::MonitorDescription monitor = Monitor(L"S");
  monitor.collections[0].inputReportLength = 41;
  Monitors().Add(monitor);
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &Collect), 0);

  Bytes twenty(20, 0);
  std::iota(twenty.begin(), twenty.begin() + 8, std::uint8_t{1});
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, 1, twenty)));
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x12, 2, {9, 9, 9, 9})));
  ASSERT_TRUE(g_inbox.WaitForCount(2));

  // The rest of the first message came as a report of its own and was dropped.
  const std::vector<Received> all = g_inbox.All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Word(4), 8u);
  EXPECT_EQ(Bytes(all[0].flat.begin() + 20, all[0].flat.end()), Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(all[1].Is(FUNC_CODE_VCP_CHANGED, 0x12));
  EXPECT_EQ(all[1].flat.size(), 24u);
  EXPECT_TRUE(Contains(LogLines(spdlog::level::warn), "MCListenThread message claims 20 payload bytes, 8 were read"));
}

TEST_F(ListenerTest, AMessageTooLongToReadIsDroppedWithoutTakingTheDeviceForLost) {
  Monitors().Add(Monitor(L"S"));
  ASSERT_EQ(SetFuncCallback(kVid, kPid, L"S", &Collect), 0);
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x10, 1, Bytes(1000, 0))));
  ASSERT_TRUE(Monitors().EmitMessage("S", VcpChanged(0x12, 2)));
  ASSERT_TRUE(g_inbox.WaitForCount(1));

  const std::vector<Received> all = g_inbox.All();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_TRUE(all[0].Is(FUNC_CODE_VCP_CHANGED, 0x12));
  EXPECT_TRUE(Contains(LogLines(spdlog::level::warn), "ReadData message of 1000 payload bytes does not fit a buffer of 1024 bytes"));
  EXPECT_EQ(Monitors().OpenHandles("S"), 1u);
}

}  // namespace
