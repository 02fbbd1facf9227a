#include "agent-windows/monitors/MonitorRegistry.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/monitors/MonitorTestSupport.h"
#include "foundation/text/TimeText.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

using namespace std::chrono_literals;

using monitortest::SampleMonitor;

MonitorRegistry Registry() {
  MonitorRegistry copy;
  CopyMonitorRegistry(copy);
  return copy;
}

class MonitorRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { InitMonitorRegistry(); }

  testkit::FakeClock m_clock;
};

TEST_F(MonitorRegistryTest, CopyIsInByteOrderAndASnapshot) {
  for (const char* serial : {"b0", "B2", "A1"}) PutMonitorState(SampleMonitor(serial));
  MonitorRegistry copy = Registry();
  std::vector<std::string> serials;
  for (const auto& [serial, state] : copy) serials.push_back(serial);
  EXPECT_EQ(serials, (std::vector<std::string>{"A1", "B2", "b0"}));

  SetLockStatus("A1", 9);
  EXPECT_EQ(copy.at("A1").lockStatus, 1);
  copy.clear();
  CopyMonitorRegistry(copy);
  EXPECT_EQ(copy.at("A1").lockStatus, 9);
}

TEST_F(MonitorRegistryTest, PutReplacesAndInitEmpties) {
  PutMonitorState(SampleMonitor("A1"));
  MonitorState replacement = SampleMonitor("A1");
  replacement.interface_number = 7;
  PutMonitorState(replacement);
  EXPECT_EQ(Registry(), (MonitorRegistry{{"A1", replacement}}));

  InitMonitorRegistry();
  EXPECT_TRUE(Registry().empty());
}

struct StaleCase {
  const char* name;
  bool needUpdate;
  std::int64_t offset;  // last_update_time - now, seconds
  bool stale;
};

class HasStaleMonitorTest : public MonitorRegistryTest,
                            public ::testing::WithParamInterface<StaleCase> {};

TEST_P(HasStaleMonitorTest, MarkedAndMoreThanFiveSecondsOld) {
  MonitorState fresh = SampleMonitor("A1");  // never due, so the result hangs on B2 alone
  fresh.need_update = true;
  fresh.last_update_time = GetCurrSeconds();
  PutMonitorState(fresh);
  MonitorState state = SampleMonitor("B2");
  state.need_update = GetParam().needUpdate;
  state.last_update_time = GetCurrSeconds() + GetParam().offset;
  PutMonitorState(state);
  EXPECT_EQ(HasStaleMonitor(), GetParam().stale);
}

INSTANTIATE_TEST_SUITE_P(
    Ages, HasStaleMonitorTest,
    ::testing::Values(StaleCase{"ExactlyFive", true, -5, false},
                      StaleCase{"Six", true, -6, true},
                      StaleCase{"OldButUnmarked", false, -600, false},
                      StaleCase{"AheadOfTheClock", true, 3, true}),
    [](const ::testing::TestParamInfo<StaleCase>& info) { return info.param.name; });

TEST_F(MonitorRegistryTest, BecomesStaleAsTheClockMoves) {
  MonitorState state = SampleMonitor("A1");
  state.need_update = false;
  state.last_update_time = GetCurrSeconds();
  PutMonitorState(state);
  MarkAllMonitorsStale();
  m_clock.Advance(5s);
  EXPECT_FALSE(HasStaleMonitor());
  m_clock.Advance(1s);
  EXPECT_TRUE(HasStaleMonitor());
  SetNeedUpdate("A1", false);
  EXPECT_FALSE(HasStaleMonitor());
}

TEST_F(MonitorRegistryTest, MarkAllMonitorsStaleKeepsTheirTimes) {
  MonitorState a = SampleMonitor("A1");
  a.need_update = false;
  MonitorState b = SampleMonitor("B2");
  b.last_update_time = 2000;
  PutMonitorState(a);
  PutMonitorState(b);
  MarkAllMonitorsStale();
  a.need_update = true;
  EXPECT_EQ(Registry(), (MonitorRegistry{{"A1", a}, {"B2", b}}));
}

struct SetterCase {
  const char* name;
  std::function<void(const std::string&)> set;
  std::function<void(MonitorState&)> expect;
};

class SetterTest : public MonitorRegistryTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(SetterTest, ChangesItsFieldsOfAKnownSerialOnly) {
  PutMonitorState(SampleMonitor("A1"));
  PutMonitorState(SampleMonitor("B2"));
  GetParam().set("A1");
  GetParam().set("Z9");
  MonitorState expected = SampleMonitor("A1");
  GetParam().expect(expected);
  EXPECT_EQ(Registry(), (MonitorRegistry{{"A1", expected}, {"B2", SampleMonitor("B2")}}));
}

INSTANTIATE_TEST_SUITE_P(
    Setters, SetterTest,
    ::testing::Values(
        SetterCase{"NeedUpdate", [](const std::string& s) { SetNeedUpdate(s, false); },
                   [](MonitorState& m) { m.need_update = false; }},
        SetterCase{"NeedSetUsbAlwayOn", [](const std::string& s) { SetNeedSetUsbAlwayOn(s, false); },
                   [](MonitorState& m) { m.needSetUsbAlwayOn = false; }},
        SetterCase{"LockStatus", [](const std::string& s) { SetLockStatus(s, -2); },
                   [](MonitorState& m) { m.lockStatus = -2; }},
        SetterCase{"PowerStatus", [](const std::string& s) { SetPowerStatus(s, 5); },
                   [](MonitorState& m) { m.powerStatus = 5; }},
        SetterCase{"MonitorStatusValues",
                   [](const std::string& s) { SetMonitorStatusValues(s, 0xFE, 4000, 0); },
                   [](MonitorState& m) {
                     m.monitorStatus = 0xFE;
                     m.useTimes = 4000;
                     m.lockStatus = 0;
                   }},
        SetterCase{"DeviceMutexStatus",
                   [](const std::string& s) { UpdateDeviceMutexStatus(s, 0, 0xFFFF0001u); },
                   [](MonitorState& m) { m.mutexStatus[0] = 0xFFFF0001u; }}),
    [](const ::testing::TestParamInfo<SetterCase>& info) { return info.param.name; });

TEST_F(MonitorRegistryTest, DeviceMutexStatusLogsValueAndRefusesOtherIndices) {
  PutMonitorState(SampleMonitor("A1"));
  testkit::LogCapture log;
  UpdateDeviceMutexStatus("A1", 0, 0x00C80064);
  UpdateDeviceMutexStatus("A1", 1, 7);
  UpdateDeviceMutexStatus("Z9", 0, 7);
  EXPECT_EQ(log.Lines(),
            (std::vector<testkit::LogLine>{
                {spdlog::level::info, "UpdateDeviceMutexStatus idx=0 , value=13107300"},
                {spdlog::level::warn, "UpdateDeviceMutexStatus idx is invalid. idx = 1"}}));
  EXPECT_EQ(Registry().at("A1").mutexStatus[0], 0x00C80064u);
}

}  // namespace
