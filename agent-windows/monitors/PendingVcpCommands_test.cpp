#include "agent-windows/monitors/PendingVcpCommands.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/GlobalMutex.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/SimulatedMonitorsTest.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/text/TimeText.h"

namespace {

using Command = std::array<std::int32_t, 6>;
using Strings = std::vector<std::string>;
using Sleeps = std::vector<long long>;

// Whether another thread could take "Global\HalvaneSDK" now.
bool GlobalMutexFree() {
  return std::async(std::launch::async, [] {
           HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kGlobalMutexName);
           const bool taken = WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
           if (taken) ReleaseMutex(mutex);
           CloseHandle(mutex);
           return taken;
         })
      .get();
}

class PendingVcpCommandsTest : public monitortest::SimulatedMonitorsTest {
 protected:
  void SetUp() override {
    SimulatedMonitorsTest::SetUp();
    TakePendingCommands();
    WebSocketMgr::GetInstance()->ClearSendQueue();
  }
  void TearDown() override {
    TakePendingCommands();
    WebSocketMgr::GetInstance()->ClearSendQueue();
    SimulatedMonitorsTest::TearDown();
  }

  // A simulated monitor in the registry, unlocked (0xF6 = 0) and on (0xD6 = 1); its
  // device-mutex word reads back as mutexMaximum << 16.
  void AddKnownMonitor(const std::wstring& serial, std::uint16_t mutexMaximum = 2) {
    monsim::MonitorDescription monitor = monitortest::AgentMonitor(serial);
    monitor.display.vcp[0xFA].maximum = mutexMaximum;
    PutMonitorState(Registered(Simulator().Add(monitor)));
  }
  // The registry record of a monitor of the maker; not stale.
  static MonitorState Registered(const std::string& serial) {
    MonitorState state;
    state.vendor_id = 0x3A71;
    state.product_id = 0xF00F;
    state.interface_number = -1;
    state.sn = serial;
    state.powerStatus = 1;
    return state;
  }
  static MonitorState InRegistry(const std::string& serial) {
    MonitorRegistry monitors;
    CopyMonitorRegistry(monitors);
    return monitors.at(serial);
  }

  static void Queue(const std::string& serial, const Command& command) {
    addChangeVcpCode(serial, command.data());
  }

  // "<monitor> set <code>=<value>" or "<monitor> get <code>" for every VCP request the monitors
  // received, in order.
  Strings VcpRequests() {
    Strings requests;
    for (const monsim::RecordedRequest& request : Simulator().Requests()) {
      const std::vector<std::uint8_t>& p = request.payload;
      char text[32];
      if (p.size() >= 7 && p[0] == 0x51 && p[2] == 0x03)
        std::snprintf(text, sizeof text, "set %02X=%u", p[3], static_cast<unsigned>(p[4] << 8 | p[5]));
      else if (p.size() >= 5 && p[0] == 0x51 && p[2] == 0x01)
        std::snprintf(text, sizeof text, "get %02X", p[3]);
      else
        continue;
      requests.push_back(request.monitorId + " " + text);
    }
    return requests;
  }

  static Strings Sent() {
    Strings texts;
    for (const SendItem& item : WebSocketMgr::GetInstance()->QueuedMessages()) texts.push_back(item.msg);
    return texts;
  }

  // Moves the fake clock to the start of a second, so whole-second offsets in the log lines do
  // not depend on when the test runs.
  void StartOfSecond() {
    using namespace std::chrono;
    const auto intoSecond = duration_cast<milliseconds>(m_clock.WallNow().time_since_epoch()) % seconds(1);
    m_clock.Advance(seconds(1) - intoSecond);
  }

  bool Logged(spdlog::level::level_enum level, const std::string& text) const {
    for (const testkit::LogLine& line : m_log.Lines())
      if (line.level == level && line.text == text) return true;
    return false;
  }
};

TEST_F(PendingVcpCommandsTest, SameSerialAndCodeReplacesTheQueuedCommandInPlace) {
  const std::int64_t first = GetCurrSeconds();
  Queue("A1", {0x10, 30});
  Queue("A1", {0x12, 70});
  Queue("B2", {0x10, 5});
  Queue("A1", {0xF8, 0x21, 1});
  m_clock.Advance(std::chrono::seconds(3));
  Queue("A1", {0x10, 50});
  Queue("A1", {0xF8, 0x22, 0});  // the 0xF8 page is one code, whatever the sub-code
  Queue("B2", {0x14, 1});

  const std::vector<PendingVcpCommand> taken = TakePendingCommands();
  const std::vector<PendingVcpCommand> expected = {
      {first, "A1", {0x10, 50}},       {first, "A1", {0x12, 70}},
      {first, "B2", {0x10, 5}},        {first, "A1", {0xF8, 0x22, 0}},
      {first + 3, "B2", {0x14, 1}},
  };
  ASSERT_EQ(taken.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(taken[i].time, expected[i].time) << i;
    EXPECT_EQ(taken[i].serial, expected[i].serial) << i;
    EXPECT_EQ(taken[i].command, expected[i].command) << i;
  }
  EXPECT_TRUE(TakePendingCommands().empty());
  EXPECT_TRUE(Logged(spdlog::level::info, "addChangeVcpCode: sn=A1,vcp=248"));
}

TEST_F(PendingVcpCommandsTest, FactoryResetMarksTheMonitorStaleWhenQueued) {
  AddKnownMonitor(L"A1");
  const MonitorState before = InRegistry("A1");
  Queue("A1", {0x04, 1});
  Queue("B2", {0x04, 1});  // not registered: nothing to mark

  MonitorState expected = before;
  expected.need_update = true;  // time kept
  EXPECT_EQ(InRegistry("A1"), expected);
  EXPECT_TRUE(VcpRequests().empty()) << "nothing runs before the batch";
}

struct SettleCase {
  std::int32_t code;
  std::int32_t second;
  std::int32_t delayMs;
};

class SettleDelays : public ::testing::TestWithParam<SettleCase> {};

TEST_P(SettleDelays, FollowTheTable) {
  EXPECT_EQ(SettleDelay(GetParam().code, GetParam().second), GetParam().delayMs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettleDelays,
    ::testing::Values(SettleCase{0x14, 1, 400}, SettleCase{0x14, 14, 400}, SettleCase{0x14, 2, 500},
                      SettleCase{0x14, 0, 500}, SettleCase{0x86, 1, 700}, SettleCase{0x86, 2, 700},
                      SettleCase{0x86, 3, 500}, SettleCase{0x86, 0, 500}, SettleCase{0xDC, 0, 400},
                      SettleCase{0xDC, 1, 400}, SettleCase{0xDC, 5, 400}, SettleCase{0xDC, 2, 500},
                      SettleCase{0xEA, 0, 400}, SettleCase{0xEA, 1, 500}, SettleCase{0xF8, 0x86, 500},
                      SettleCase{0xF8, 1, 500}, SettleCase{0x10, 1, 500}, SettleCase{-1, 0, 500}),
    [](const ::testing::TestParamInfo<SettleCase>& info) {
      char name[32];
      std::snprintf(name, sizeof name, "Code%X_%d", static_cast<unsigned>(info.param.code) & 0xFFFu,
                    static_cast<int>(info.param.second));
      return std::string(name);
    });

TEST_F(PendingVcpCommandsTest, RunsInQueueOrderThenReadsTheMutexWordOncePerMonitor) {
  AddKnownMonitor(L"A1", 2);
  AddKnownMonitor(L"B2", 3);
  Queue("A1", {0x86, 2});
  Queue("B2", {0x12, 40});
  Queue("A1", {0xF8, 0x05, 0});
  Queue("A1", {0x10, 75});
  Queue("B2", {0xEA, 0});
  m_log.Clear();

  RunCacheCommand();

  EXPECT_EQ(VcpRequests(),
            (Strings{"A1 set 86=2", "B2 set 12=40", "A1 set F8=5", "A1 set F7=0", "A1 set 10=75",
                     "B2 set EA=0", "A1 set FA=0", "A1 get FA", "B2 set FA=0", "B2 get FA"}));
  // The library pauses 200 ms inside a 0xF8 set.
  EXPECT_EQ(m_clock.Sleeps(), (Sleeps{700, 500, 200, 500, 500, 400}));
  EXPECT_EQ(Simulator().Vcp("A1", 0x10)->current, 75);
  EXPECT_EQ(Simulator().Vcp("B2", 0x12)->current, 40);
  EXPECT_EQ(Simulator().State("A1")->display.extended.at(0x05).current, 0);
  EXPECT_EQ(InRegistry("A1").mutexStatus[0], 0x20000u);
  EXPECT_EQ(InRegistry("B2").mutexStatus[0], 0x30000u);
  EXPECT_EQ(Sent(), Strings{R"({"monitorList":[)"
                            R"({"funcList":[[134,2,0,0,0,0]],"serialNumber":"A1"},)"
                            R"({"funcList":[[18,40,0,0,0,0]],"serialNumber":"B2"},)"
                            R"({"funcList":[[248,5,0,0,0,0]],"serialNumber":"A1"},)"
                            R"({"funcList":[[16,75,0,0,0,0]],"serialNumber":"A1"},)"
                            R"({"funcList":[[234,0,0,0,0,0]],"serialNumber":"B2"}],"type":"VcpState"})"});
  EXPECT_TRUE(GlobalMutexFree());

  // Every command runs once.
  m_log.Clear();
  Simulator().ClearRequests();
  RunCacheCommand();
  EXPECT_TRUE(m_log.Lines().empty());
  EXPECT_TRUE(VcpRequests().empty());
  EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(PendingVcpCommandsTest, LogsEveryStepWithTheBatchStartAndOffset) {
  AddKnownMonitor(L"A1");
  StartOfSecond();
  Queue("A1", {0x86, 1});
  m_clock.Advance(std::chrono::seconds(4));
  const long long start = GetCurrSeconds();
  m_log.Clear();

  RunCacheCommand();

  std::vector<testkit::LogLine> batchLines;
  for (const testkit::LogLine& line : m_log.Lines())
    if (line.text.starts_with("RunCacheCommand") || line.text.starts_with("VCP_MUTEX_TEST") ||
        line.text.starts_with("{"))
      batchLines.push_back(line);
  const auto step = [start](int mark, int offset) {
    return testkit::LogLine{spdlog::level::info, "RunCacheCommand : " + std::to_string(mark) + " Start tm = " +
                                                     std::to_string(start) + " ,Offset tm = " +
                                                     std::to_string(offset)};
  };
  const auto info = [](const std::string& text) { return testkit::LogLine{spdlog::level::info, text}; };
  EXPECT_EQ(batchLines,
            (std::vector<testkit::LogLine>{
                info("RunCacheCommand =  MutexGuard Get Start " + std::to_string(start) + "."),
                info("RunCacheCommand =  MutexGuard Get End " + std::to_string(start) + "."),
                step(111, 0), step(222, 0), step(333, 0),
                info("RunCacheCommand: SetVCPFeatureByVector [A1] success = 4."),
                step(444, 0), step(555, 0),  // 700 ms later
                step(666, 0),
                info("VCP_MUTEX_TEST -line 1438 idx=0 , value=131072"),
                info("RunCacheCommand : Total tm = 0"),
                info(R"({"monitorList":[{"funcList":[[134,1,0,0,0,0]],"serialNumber":"A1"}],"type":"VcpState"})"),
            }));
}

struct RegistryCase {
  const char* name;
  Command command;
  bool fails;
  std::int32_t lockStatus;
  std::int32_t powerStatus;
};

class RegistryUpdates : public PendingVcpCommandsTest, public ::testing::WithParamInterface<RegistryCase> {};

// A failed set is still reported and still followed by its settle delay: the report lists the
// commands tried, not their outcome.
TEST_P(RegistryUpdates, OnlyASuccessfulLockOrPowerSetReachesTheRegistry) {
  const RegistryCase& c = GetParam();
  AddKnownMonitor(L"A1");
  Queue("A1", c.command);
  m_clock.Advance(std::chrono::seconds(7));
  if (c.fails) Simulator().QueueFault("A1", monsim::Fault(monsim::FaultKind::Status, 4));

  RunCacheCommand();

  const MonitorState state = InRegistry("A1");
  EXPECT_EQ(state.lockStatus, c.lockStatus);
  EXPECT_EQ(state.powerStatus, c.powerStatus);
  if (c.fails)
    EXPECT_TRUE(Logged(spdlog::level::err, "RunCacheCommand: SetVCPFeatureByVector [A1] failed = 7."));
  else
    EXPECT_TRUE(Logged(spdlog::level::info, "RunCacheCommand: SetVCPFeatureByVector [A1] success = 7."));
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{500});
  const std::string funcList = std::to_string(c.command[0]) + "," + std::to_string(c.command[1]) + ",0,0,0,0";
  EXPECT_EQ(Sent(), Strings{R"({"monitorList":[{"funcList":[[)" + funcList +
                            R"(]],"serialNumber":"A1"}],"type":"VcpState"})"});
}

INSTANTIATE_TEST_SUITE_P(
    Commands, RegistryUpdates,
    ::testing::Values(RegistryCase{"LockSet", {0xF6, 1}, false, 1, 1},
                      RegistryCase{"LockFailed", {0xF6, 1}, true, 0, 1},
                      RegistryCase{"PowerSet", {0xD6, 5}, false, 0, 5},
                      RegistryCase{"PowerFailed", {0xD6, 5}, true, 0, 1},
                      RegistryCase{"OtherCodeSet", {0x10, 1}, false, 0, 1}),
    [](const ::testing::TestParamInfo<RegistryCase>& info) { return info.param.name; });

TEST_F(PendingVcpCommandsTest, CommandsForUnknownOrUnopenableMonitorsVanish) {
  AddKnownMonitor(L"A1");
  PutMonitorState(Registered("C3"));  // registered, but not on the bus
  Queue("Z9", {0x10, 1});
  Queue("C3", {0x10, 1});

  RunCacheCommand();

  EXPECT_EQ(Sent(), Strings{R"({"monitorList":[],"type":"VcpState"})"});
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{});
  EXPECT_TRUE(VcpRequests().empty());
  EXPECT_TRUE(GlobalMutexFree());
}

TEST_F(PendingVcpCommandsTest, BatchIsDroppedWhenGlobalMutexIsHeldElsewhere) {
  AddKnownMonitor(L"A1");
  Queue("A1", {0x10, 75});
  {
    monitortest::GlobalMutexHeldElsewhere holder;
    RunCacheCommand();
  }
  EXPECT_TRUE(Logged(spdlog::level::err, "RunCacheCommand:MutexGuard return !"));
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{1000});
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(VcpRequests().empty());
  EXPECT_TRUE(TakePendingCommands().empty()) << "the dropped batch is not queued again";
}

TEST_F(PendingVcpCommandsTest, BatchIsDroppedWhenNoMonitorIsRegistered) {
  AddMonitor(L"A1");
  Queue("A1", {0x10, 75});

  RunCacheCommand();

  EXPECT_EQ(m_log.Errors(), Strings{"RunCacheCommand:Monitor count is less than 0 !"});
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{});
  EXPECT_TRUE(VcpRequests().empty());
  EXPECT_TRUE(GlobalMutexFree());
  EXPECT_TRUE(TakePendingCommands().empty());
}

// The receive thread queues while the refresh thread takes: every command comes out exactly
// once, in its thread's order.
TEST_F(PendingVcpCommandsTest, ConcurrentQueueingAndTakingLosesNothing) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<std::thread> receivers;
  for (int thread = 0; thread < kThreads; ++thread)
    receivers.emplace_back([thread] {
      for (int i = 0; i < kPerThread; ++i) Queue("S" + std::to_string(thread), {i, thread});
    });
  std::vector<int> next(kThreads, 0);
  int taken = 0;
  const auto takeAll = [&] {
    for (const PendingVcpCommand& command : TakePendingCommands()) {
      const int thread = command.command[1];
      ASSERT_EQ(command.serial, "S" + std::to_string(thread));
      ASSERT_EQ(command.command[0], next[thread]) << "thread " << thread;
      ++next[thread];
      ++taken;
    }
  };
  while (taken < kThreads * kPerThread / 2 && !HasFatalFailure()) takeAll();
  for (std::thread& receiver : receivers) receiver.join();
  takeAll();
  EXPECT_EQ(taken, kThreads * kPerThread);
}

}  // namespace
