// Rebinding after a device change, against simulated monitors: what new, known, vanished and
// faulty monitors leave in the registry, the handle cache and the listeners.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "agent-windows/monitors/SimulatedMonitorsTest.h"
#include "foundation/text/TimeText.h"
#include "testkit/monsim/Faults.h"

namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

class DeviceRebindTest : public monitortest::SimulatedMonitorsTest {
 protected:
  static MonitorRegistry Registry() {
    MonitorRegistry copy;
    CopyMonitorRegistry(copy);
    return copy;
  }
  static std::vector<std::string> Serials() {
    std::vector<std::string> serials;
    for (const auto& [serial, state] : Registry()) serials.push_back(serial);
    return serials;
  }
  static bool Listening(const std::wstring& serial) {
    tagMONCTRL_LISTEN* listener = GetMCListenThread(KeyOf(serial).c_str());
    return listener != nullptr && listener->callback.load() == &MonitorCallback;
  }
};

TEST_F(DeviceRebindTest, NewMonitorsAreOpenedReadAndListenedTo) {
  // Added in the opposite order of their serials: the registry is ordered by serial.
  AddMonitor(L"B2");
  AddMonitor(L"A1");
  Simulator().SetVcp("A1", 0xFA, 3);  // the read-back gives what writing the index left: 0
  m_log.Clear();

  ASSERT_TRUE(OnDeviceChangeRebindMessage());

  ASSERT_THAT(Serials(), ElementsAre("A1", "B2"));
  MonitorState expected;
  expected.vendor_id = kMonCtrlVendorId;
  expected.product_id = kMonCtrlProductId;
  expected.interface_number = 0;
  expected.sn = "A1";
  expected.need_update = true;
  expected.last_update_time = GetCurrSeconds();
  expected.needSetUsbAlwayOn = false;
  expected.monitorStatus = 0;
  expected.useTimes = 120;
  expected.lockStatus = 0;
  expected.powerStatus = 1;
  expected.mutexStatus = {2u << 16};
  EXPECT_EQ(Registry().at("A1"), expected);
  EXPECT_EQ(Simulator().Vcp("A1", 0xEC)->current, 0xFF01);
  EXPECT_EQ(Simulator().Vcp("B2", 0xEC)->current, 0xFF01);
  EXPECT_TRUE(Listening(L"A1"));
  EXPECT_TRUE(Listening(L"B2"));

  const std::vector<std::string> newMonitor = {
      "OnDeviceChangeRebindMessage =  MutexGuard Get .", "OnDeviceChangeRebindMessage Start 0xEC .",
      "OnDeviceChangeRebindMessage Start 0xC0 .",        "OnDeviceChangeRebindMessage Start 0xF6 .",
      "OnDeviceChangeRebindMessage Start 0xD6 .",        "OnDeviceChangeRebindMessage Start 0xFA .",
      "OnDeviceChangeRebindMessage Over."};
  std::vector<std::string> lines;
  for (const std::string& line : LogLines())
    if (line.rfind("OnDeviceChangeRebindMessage", 0) == 0) lines.push_back(line);
  std::vector<std::string> expectedLines = {"OnDeviceChangeRebindMessage Start!!!!!",
                                            "OnDeviceChangeRebindMessage GetMonCtrlList 2"};
  for (int monitor = 0; monitor < 2; ++monitor) expectedLines.insert(expectedLines.end(), newMonitor.begin(), newMonitor.end());
  expectedLines.push_back("OnDeviceChangeRebindMessage End!!!!!");
  EXPECT_EQ(lines, expectedLines);

  // The handles of the first look stay cached: no second open, no line.
  m_log.Clear();
  EXPECT_NE(GetMonitorHandle(Registry().at("A1")), nullptr);
  EXPECT_THAT(LogLines(spdlog::level::err), IsEmpty());
}

TEST_F(DeviceRebindTest, KnownMonitorsAreMarkedWithoutDeviceIoAndVanishedOnesDropped) {
  AddMonitor(L"A1");
  AddMonitor(L"B2");
  ASSERT_TRUE(OnDeviceChangeRebindMessage());
  SetNeedUpdate("A1", false);
  SetNeedSetUsbAlwayOn("A1", false);
  const std::int64_t firstTime = Registry().at("A1").last_update_time;
  ASSERT_TRUE(Simulator().Unplug("B2"));
  m_clock.Advance(std::chrono::seconds(7));
  Simulator().ClearRequests();
  // The listeners' own waits move the clock too, so the second look's time lies between the
  // times read around it.
  const std::int64_t secondTime = GetCurrSeconds();
  ASSERT_GE(secondTime, firstTime + 7);

  ASSERT_TRUE(OnDeviceChangeRebindMessage());
  const std::int64_t afterSecondLook = GetCurrSeconds();

  EXPECT_THAT(Simulator().Requests(), IsEmpty());
  ASSERT_THAT(Serials(), ElementsAre("A1"));
  const MonitorState a1 = Registry().at("A1");
  EXPECT_TRUE(a1.need_update);
  EXPECT_TRUE(a1.needSetUsbAlwayOn);
  EXPECT_GE(a1.last_update_time, secondTime);
  EXPECT_LE(a1.last_update_time, afterSecondLook);
  EXPECT_TRUE(Listening(L"A1"));
  EXPECT_FALSE(Listening(L"B2"));
  // The cached handles were closed, not leaked: only the listener's stays open on A1.
  EXPECT_EQ(Simulator().OpenHandles("A1"), 1u);
  // A known monitor is opened again on its next use.
  m_log.Clear();
  EXPECT_NE(GetMonitorHandle(a1), nullptr);
  EXPECT_THAT(LogLines(spdlog::level::err), ElementsAre("Monitor with serial number A1 not found."));
}

TEST_F(DeviceRebindTest, AnInterfaceWithoutSerialIsSkippedAndTheOthersRebound) {
  monsim::MonitorDescription nameless = monitortest::AgentMonitor(L"");
  nameless.id = "nameless";
  Simulator().Add(nameless);
  AddMonitor(L"A1");
  m_log.Clear();

  EXPECT_TRUE(OnDeviceChangeRebindMessage());

  EXPECT_THAT(Serials(), ElementsAre("A1"));
  EXPECT_THAT(LogLines(spdlog::level::warn), ElementsAre("OnDeviceChangeRebindMessage find wrong serial number. 0 = "));
  EXPECT_TRUE(Listening(L"A1"));
}

TEST_F(DeviceRebindTest, NoInterfaceDropsEveryRecordAndListener) {
  AddMonitor(L"A1");
  ASSERT_TRUE(OnDeviceChangeRebindMessage());
  ASSERT_TRUE(Simulator().Unplug("A1"));

  EXPECT_TRUE(OnDeviceChangeRebindMessage());

  EXPECT_THAT(Serials(), IsEmpty());
  EXPECT_FALSE(Listening(L"A1"));
  EXPECT_THAT(LogLines(), Contains("OnDeviceChangeRebindMessage GetMonCtrlList 0"));
}

// A new monitor whose first look fails ends the pass: the records made so far stay, vanished
// ones are kept and the listeners are left as they were; the next pass sees it as known.
TEST_F(DeviceRebindTest, AFailedFirstLookEndsThePassAndKeepsTheRecords) {
  struct Case {
    const char* what;
    bool mutexHeldElsewhere;
    std::optional<monsim::Fault> fault;
    const char* warning;
  };
  const Case cases[] = {
      {"the global mutex is held elsewhere", true, std::nullopt, "OnDeviceChangeRebindMessage MutexGuard. 1 = B2"},
      {"the monitor goes before it is opened", false, monsim::Fault(monsim::FaultKind::Vanish, 1),
       "OnDeviceChangeRebindMessage OpenMonCtrl2. 1 = B2"},
      {"the monitor never tells its count", false, monsim::Fault(monsim::FaultKind::Missing, 0, 3),
       "OnDeviceChangeRebindMessage CallGetMonitorCount. 1 = B2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InitMonitorRegistry();
    AddMonitor(L"A1");
    AddMonitor(L"C3");
    ASSERT_TRUE(OnDeviceChangeRebindMessage());
    ASSERT_TRUE(Simulator().Unplug("C3"));
    // Its listener's attempts to reopen it would enumerate too, and use up the faults.
    RemoveMCListenThread(KeyOf(L"C3").c_str());
    AddMonitor(L"B2");
    if (c.fault) Simulator().QueueFault("B2", *c.fault);
    m_log.Clear();
    {
      std::optional<monitortest::GlobalMutexHeldElsewhere> held;
      if (c.mutexHeldElsewhere) held.emplace();
      EXPECT_FALSE(OnDeviceChangeRebindMessage());
    }
    EXPECT_THAT(LogLines(spdlog::level::warn), Contains(c.warning));
    EXPECT_THAT(Serials(), ElementsAre("A1", "B2", "C3"));
    EXPECT_TRUE(Registry().at("B2").need_update);
    EXPECT_TRUE(Listening(L"A1"));
    EXPECT_FALSE(Listening(L"B2"));
    EXPECT_THAT(LogLines(), Not(Contains("OnDeviceChangeRebindMessage End!!!!!")));
    StopAllMonCtrlListener();
    Simulator().Unplug("A1");
    Simulator().Unplug("B2");
  }
}

}  // namespace
