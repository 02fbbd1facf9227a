#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/monitors/SimulatedMonitorsTest.h"
#include "agent-windows/monitors/StatusReports.h"
#include "foundation/text/ComputerName.h"
#include "foundation/text/TimeText.h"

using nlohmann::json;

namespace {

using monitortest::AgentMonitor;

class GetAllInfoTest : public monitortest::SimulatedMonitorsTest {
 protected:
  // A record as a device-change pass leaves it, marked `age` seconds ago.
  static MonitorState Due(const std::string& serial, std::int64_t age = 60) {
    MonitorState state;
    state.vendor_id = 0x3A71;
    state.product_id = 0xF00F;
    state.interface_number = -1;
    state.sn = serial;
    state.need_update = true;
    state.last_update_time = GetCurrSeconds() - age;
    return state;
  }

  // The report's entries, once it has parsed as a whole report (so it is valid UTF-8).
  static json ReportEntries() {
    const json report = json::parse(GetAllInfo());
    EXPECT_EQ(report.size(), 3u);
    EXPECT_EQ(report["hostName"], GetComputerNameString());
    EXPECT_EQ(report["type"], "displayStatusReport");
    return report["monitorList"];
  }

  static MonitorState Registered(const std::string& serial) {
    MonitorRegistry copy;
    CopyMonitorRegistry(copy);
    return copy.at(serial);
  }

  bool Logged(spdlog::level::level_enum level, const std::string& text) const {
    const auto lines = m_log.Lines();
    return std::find(lines.begin(), lines.end(), testkit::LogLine{level, text}) != lines.end();
  }
};

TEST_F(GetAllInfoTest, ReadsEveryDueMonitorFromItsOwnDevice) {
  AddMonitor(L"A1");
  monsim::MonitorDescription b = AgentMonitor(L"B2");
  b.display.vcp[0x10].current = 30;
  b.display.extended[0x05].current = 0;
  b.display.vendor.status = 7;
  Simulator().Add(b);
  MonitorState a = Due("A1");
  PutMonitorState(a);
  PutMonitorState(Due("B2"));

  const json entries = ReportEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], json::parse(R"({
      "index": 0, "vendorId": 14961, "productId": 61455, "serialNumber": "A1", "interfaceNumber": -1,
      "modelName": "Q27", "specialId": "A", "modelVersion": "03.12T", "monitorStatus": 0,
      "mutexInt": [131072], "useTimes": 120, "lockStatus": 0, "powerStatus": 1,
      "vcpFuncMap": [{"vcpCode": 16, "values": []}, {"vcpCode": 18, "values": []},
                     {"vcpCode": 63493, "values": [0, 1]}],
      "funcList": [[16, 50, 100], [18, 70, 100], [248, 5, 1, 1]]})"));
  EXPECT_EQ(entries[1]["index"], 1);
  EXPECT_EQ(entries[1]["serialNumber"], "B2");
  EXPECT_EQ(entries[1]["monitorStatus"], 7);
  EXPECT_EQ(entries[1]["funcList"], json::parse("[[16, 30, 100], [18, 70, 100], [248, 5, 0, 1]]"));

  a.need_update = false;
  a.useTimes = 120;
  a.powerStatus = 1;
  a.mutexStatus = {131072};
  EXPECT_EQ(Registered("A1"), a);
  EXPECT_FALSE(Registered("B2").need_update);
  EXPECT_EQ(Registered("B2").monitorStatus, 7);

  // 50 ms after each of the six reads; the 200 ms are the library's, inside each 0xF8-page read.
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{50, 50, 200, 50, 50, 50, 200, 50}));
  EXPECT_TRUE(Logged(spdlog::level::info, "GetAllInfo mapMonitorCtrlCopy = 2."));
  EXPECT_TRUE(Logged(spdlog::level::info, "GetAllInfo Start 3a71,f00f,B2,-1"));
  EXPECT_TRUE(Logged(spdlog::level::info, "GetAllInfo = 111 ."));
  EXPECT_TRUE(Logged(spdlog::level::info, "VCP_MUTEX_TEST -line 1661 idx=0 , value=131072"));
  const auto lines = m_log.Lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const testkit::LogLine& line) {
                            return line.text.starts_with("GetAllInfo End ") && line.text.ends_with(", 3a71,f00f,B2,-1");
                          }),
            1);
}

struct InformationCase {
  const char* name;
  std::string modelName;
  std::string specialID;
  std::uint16_t debugVersion;
  const char* reportedModelName;
  const char* reportedSpecialId;
  const char* reportedModelVersion;
};

class MonitorInformationTest : public GetAllInfoTest, public ::testing::WithParamInterface<InformationCase> {};

TEST_P(MonitorInformationTest, TextsAreCutToTheirFieldsAndAlwaysGoOut) {
  const InformationCase& c = GetParam();
  monsim::MonitorDescription monitor = AgentMonitor(L"A1");
  monsim::MonitorInfoFields info;
  info.modelName = c.modelName;
  info.specialID = c.specialID;
  info.vendorID = "QLM";
  info.sn = "A1";
  info.releaseVersion = 3;
  info.debugVersion = c.debugVersion;
  monitor.display.vendor.monitorInfo = monsim::EncodeMonitorInfo(info);
  Simulator().Add(monitor);
  PutMonitorState(Due("A1"));

  const json entries = ReportEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["modelName"], c.reportedModelName);
  EXPECT_EQ(entries[0]["specialId"], c.reportedSpecialId);
  EXPECT_EQ(entries[0]["modelVersion"], c.reportedModelVersion);
  EXPECT_FALSE(Registered("A1").need_update);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, MonitorInformationTest,
    ::testing::Values(
        InformationCase{"NoDebugVersion", "Q27", "A", 0, "Q27", "A", "03"},
        InformationCase{"FullFieldsWithoutNul", "Q27-ABCDEFGHIJKLMNOPQRST", "ABCD", 12,
                        "Q27-ABCDEFGHIJKLMNOPQRST", "ABCD", "03.12T"},
        InformationCase{"NotUtf8", "Q\xFF" "27", "\xC3", 12, "Q\xEF\xBF\xBD" "27", "\xEF\xBF\xBD", "03.12T"}),
    [](const ::testing::TestParamInfo<InformationCase>& info) { return info.param.name; });

struct StaleCase {
  const char* name;
  bool needUpdate;
  std::int64_t age;
  bool reported;
};

class StaleMarkTest : public GetAllInfoTest, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StaleMarkTest, OnlyMonitorsMarkedMoreThanFiveSecondsAgoAreRead) {
  const StaleCase& c = GetParam();
  AddMonitor(L"A1");
  MonitorState state = Due("A1", c.age);
  state.need_update = c.needUpdate;
  PutMonitorState(state);

  const json entries = ReportEntries();
  EXPECT_EQ(entries.size(), c.reported ? 1u : 0u);
  EXPECT_EQ(Logged(spdlog::level::warn, "GetAllInfo SKIP 3a71,f00f,A1,-1"), !c.reported);
  if (c.reported) {
    EXPECT_FALSE(Registered("A1").need_update);
  } else {
    EXPECT_EQ(Registered("A1"), state);
    EXPECT_TRUE(Simulator().Requests().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Ages, StaleMarkTest,
                         ::testing::Values(StaleCase{"ExactlyFive", true, 5, false}, StaleCase{"Six", true, 6, true},
                                           StaleCase{"OldButUnmarked", false, 600, false},
                                           StaleCase{"AheadOfTheClock", true, -3, true}),
                         [](const ::testing::TestParamInfo<StaleCase>& info) { return info.param.name; });

TEST_F(GetAllInfoTest, DroppedEntriesUseUpTheirIndexAndStayDue) {
  monsim::MonitorDescription noInformation = AgentMonitor(L"B1");
  noInformation.display.vendor.monitorInfo.clear();
  Simulator().Add(noInformation);
  AddMonitor(L"C2");
  PutMonitorState(Due(""));    // no serial: no index
  PutMonitorState(Due("A0"));  // not on the bus
  PutMonitorState(Due("B1"));
  PutMonitorState(Due("C2"));

  const json entries = ReportEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["serialNumber"], "C2");
  EXPECT_EQ(entries[0]["index"], 2);
  EXPECT_TRUE(Logged(spdlog::level::warn, "GetAllInfo A0 handle == NULL ."));
  EXPECT_TRUE(Logged(spdlog::level::warn, "GetAllInfo B1 monitorInfo == NULL <= 0 ."));
  for (const char* serial : {"", "A0", "B1"}) EXPECT_TRUE(Registered(serial).need_update) << serial;
  EXPECT_FALSE(Registered("C2").need_update);
}

TEST_F(GetAllInfoTest, WritesUsbAlwaysOnWhenAskedAndKeepsTheRawPowerValue) {
  AddMonitor(L"A1");
  AddMonitor(L"B2");
  Simulator().SetVcp("A1", 0xD6, 4);
  MonitorState a = Due("A1");
  a.needSetUsbAlwayOn = true;
  PutMonitorState(a);
  PutMonitorState(Due("B2"));

  const json entries = ReportEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0]["powerStatus"], 0);
  EXPECT_EQ(Registered("A1").powerStatus, 4);
  EXPECT_EQ(Simulator().Vcp("A1", 0xEC)->current, 0xFF01);
  EXPECT_FALSE(Registered("A1").needSetUsbAlwayOn);
  EXPECT_EQ(Simulator().Vcp("B2", 0xEC)->current, 0);
}

TEST_F(GetAllInfoTest, EmptyRegistryGivesAnEmptyList) {
  EXPECT_EQ(GetAllInfo(), R"({"hostName":")" + GetComputerNameString() +
                              R"(","monitorList":[],"type":"displayStatusReport"})");
  EXPECT_EQ(m_log.Lines(), (std::vector<testkit::LogLine>{
                               {spdlog::level::info, "GetAllInfo mapMonitorCtrlCopy = 0."},
                               {spdlog::level::err, "Heartbeat:Monitor count is less than 0 !"}}));
}

TEST_F(GetAllInfoTest, MonitorWithoutCapabilityStringHasNoCodes) {
  monsim::MonitorDescription monitor = AgentMonitor(L"A1");
  monitor.display.capabilities.reset();
  Simulator().Add(monitor);
  EXPECT_TRUE(GetVcpFuncMap(OpenRegistered(L"A1")).empty());
}

}  // namespace
