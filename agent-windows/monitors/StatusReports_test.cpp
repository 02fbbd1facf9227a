#include "agent-windows/monitors/StatusReports.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/monitors/MonitorTestSupport.h"
#include "foundation/text/ComputerName.h"
#include "testkit/logcapture/LogCapture.h"

using nlohmann::json;

namespace {

using monitortest::AddChange;

MonitorState Monitor(const std::string& serial, std::int32_t powerStatus) {
  MonitorState state = monitortest::SampleMonitor(serial);
  state.powerStatus = powerStatus;
  return state;
}

// The registry and the change records live for the process; each test starts with neither.
class GetSampleMonitorInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMonitorRegistry();
    for (const char* serial : {"A1", "B2"}) TakeVcpChangeRecords(serial);
  }

  // The report's monitor entries, after checking what surrounds them.
  static json Entries(const std::string& text) {
    json report = json::parse(text);
    EXPECT_EQ(report["hostName"], GetComputerNameString());
    EXPECT_EQ(report["type"], "displayStatusReport");
    EXPECT_EQ(report.size(), 3u);
    return report["monitorList"];
  }

  testkit::LogCapture m_log;
};

TEST_F(GetSampleMonitorInfoTest, EmptyRegistryGivesEmptyListAfterItsLines) {
  EXPECT_EQ(GetSampleMonitorInfo(),
            R"({"hostName":")" + GetComputerNameString() +
                R"(","monitorList":[],"type":"displayStatusReport"})");
  EXPECT_EQ(m_log.Lines(),
            (std::vector<testkit::LogLine>{
                {spdlog::level::info, "GetSampleMonitorInfo GetMonCtrlList = 0."},
                {spdlog::level::err, "GetSampleMonitorInfo count is less than 0 !"}}));
}

TEST_F(GetSampleMonitorInfoTest, EntryHoldsTheRegistryValuesInSortedCompactForm) {
  PutMonitorState(Monitor("A1", 1));
  EXPECT_EQ(GetSampleMonitorInfo(),
            R"({"hostName":")" + GetComputerNameString() +
                R"(","monitorList":[{"index":0,"interfaceNumber":2,"lockStatus":1,)"
                R"("monitorStatus":3,"mutexInt":[6553650],"powerStatus":1,"productId":61455,)"
                R"("serialNumber":"A1","useTimes":120,"vendorId":14961}],)"
                R"("type":"displayStatusReport"})");
  EXPECT_EQ(m_log.Lines(), (std::vector<testkit::LogLine>{
                               {spdlog::level::info, "GetSampleMonitorInfo GetMonCtrlList = 1."}}));
}

TEST_F(GetSampleMonitorInfoTest, NumbersSerialsInByteOrderAndSkipsEmptyOnes) {
  PutMonitorState(Monitor("B2", 4));
  PutMonitorState(Monitor("", 1));
  PutMonitorState(Monitor("A1", 1));
  json entries = Entries(GetSampleMonitorInfo());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0]["serialNumber"], "A1");
  EXPECT_EQ(entries[0]["index"], 0);
  EXPECT_EQ(entries[1]["serialNumber"], "B2");
  EXPECT_EQ(entries[1]["index"], 1);
  EXPECT_EQ(entries[1]["powerStatus"], 0) << "a raw power value other than 1 reports as 0";
}

TEST_F(GetSampleMonitorInfoTest, ChangeRecordsTravelOnceWithTheirMonitor) {
  PutMonitorState(Monitor("A1", 1));
  PutMonitorState(Monitor("B2", 1));
  AddChange(L"B2", {0x10, 30, 100, 0, 0, 0});
  AddChange(L"B2", {0xF8, 0x21, 5, 7, 0, 0});

  json entries = Entries(GetSampleMonitorInfo());
  EXPECT_FALSE(entries[0].contains("funcList"));
  EXPECT_EQ(entries[1]["funcList"], json::parse("[[16,30,100],[248,33,5]]"));
  // A1 came first, while B2 still had records.
  EXPECT_EQ(m_log.Errors(), std::vector<std::string>{"Key not found in messageMap"});

  m_log.Clear();
  entries = Entries(GetSampleMonitorInfo());
  EXPECT_FALSE(entries[0].contains("funcList"));
  EXPECT_FALSE(entries[1].contains("funcList"));
  EXPECT_TRUE(m_log.Errors().empty());
}

TEST_F(GetSampleMonitorInfoTest, SerialThatIsNotUtf8StillGoesOut) {
  PutMonitorState(Monitor("SN\xFF", 1));
  json entries = Entries(GetSampleMonitorInfo());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["serialNumber"], "SN\xEF\xBF\xBD");
  EXPECT_TRUE(m_log.Errors().empty());
}

}  // namespace
