// The set of monitor updaters over simulated monitors: what a refresh finds as monitors come and
// go, how display commands reach their updaters, and the report of them all.
#include "agent-macos/monitors/MonitorFuncHelper.h"

#include "agent-macos/monitors/MonitorTestSupport.h"
#include "agent-macos/testing/ExpectedEntries.h"

namespace {

using agentmactest::LogMark;
using monitortest::MonitorJson;
using nlohmann::json;

// A set of its own for each test.
struct MonitorSet : MonitorFuncHelper {};

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class MonitorFuncHelperTest : public monitortest::SimulatedMonitorsTest {
 protected:
  void TearDown() override {
    // Running read threads keep their updaters alive.
    set_->waitForReadThread();
    set_.reset();
    SimulatedMonitorsTest::TearDown();
  }

  // A refresh after the monitor-update task counted the interfaces.
  void Refresh() {
    set_->lastDetectCount = GetMonCtrlCount(0);
    set_->refreshMonitors();
  }

  json Entry(const std::string& serial) {
    const json report = set_->buildStatusReport();
    for (const json& entry : report["monitorList"])
      if (entry["serialNumber"] == serial) return entry;
    return nullptr;
  }

  std::unique_ptr<MonitorSet> set_ = std::make_unique<MonitorSet>();
};

TEST_F(MonitorFuncHelperTest, AFirstPassMakesAnUpdaterPerInterfaceAndReadsIt) {
  Add(MonitorJson("A1"));
  Add(MonitorJson("B2", {{"vcp", {{"10", {{"current", 60u}}}}}}));
  Refresh();
  EXPECT_EQ(set_->lastDisplayCount, 2);
  ASSERT_NE(set_->updater("A1"), nullptr);
  ASSERT_NE(set_->updater("B2"), nullptr);
  const json report = set_->buildStatusReport();
  EXPECT_EQ(report["type"], "displayStatusReport");
  EXPECT_EQ(report["monitorList"], json::array({agentmactest::FullEntry(0, "A1", "TV-2415Q", 50, 70, 1200),
                                                 agentmactest::FullEntry(1, "B2", "TV-2415Q", 60, 70, 1200)}));

  // Counts that agree: nothing is asked of the monitors.
  sim_->ClearRequests();
  Refresh();
  EXPECT_TRUE(sim_->Requests().empty());
}

TEST_F(MonitorFuncHelperTest, SerialKeysKeepOnlyTheirAsciiCharacters) {
  Add(MonitorJson("X", {{"id", "accented"}, {"serial", "\xC3\x84" "1"}}));
  Add(MonitorJson("Y", {{"id", "none"}, {"serial", "\xC3\x84\xC3\x96"}}));
  Add(MonitorJson("B2"));
  Refresh();
  EXPECT_NE(set_->updater("1"), nullptr);
  EXPECT_NE(set_->updater("B2"), nullptr);
  EXPECT_EQ(set_->buildStatusReport()["monitorList"].size(), 2u);
}

TEST_F(MonitorFuncHelperTest, MonitorsThatGoAreNotPoweredAndAreReadAgainWhenTheyReturn) {
  Add(MonitorJson("A1"));
  Add(MonitorJson("B2"));
  Refresh();
  set_->buildStatusReport();

  // One goes: its updater stays, not powered; the other is left alone.
  sim_->Unplug("B2");
  sim_->ClearRequests();
  Refresh();
  EXPECT_EQ(set_->lastDisplayCount, 1);
  ASSERT_NE(set_->updater("B2"), nullptr);
  EXPECT_EQ(Entry("B2"), agentmactest::ShortEntry(1, "B2", 0));
  EXPECT_EQ(Entry("A1"), agentmactest::ShortEntry(0, "A1", 1));
  EXPECT_FALSE(set_->updater("A1")->deviceReadDue());
  EXPECT_TRUE(sim_->Requests().empty());

  // All go: every read thread stops, nothing is powered, the updaters stay.
  sim_->Unplug("A1");
  LogMark mark;
  Refresh();
  EXPECT_NE(mark.Since().find("[Warn] Failed to get monitor control list\n"), std::string::npos);
  EXPECT_EQ(Entry("A1")["powerStatus"], 0);
  EXPECT_EQ(Entry("B2")["powerStatus"], 0);

  // Back with other values: read again, reported in full, listened to again.
  sim_->Plug("A1");
  sim_->Plug("B2");
  sim_->SetVcp("A1", 0x10, 20);
  Refresh();
  EXPECT_EQ(set_->buildStatusReport()["monitorList"],
            json::array({agentmactest::FullEntry(0, "A1", "TV-2415Q", 20, 70, 1200),
                         agentmactest::FullEntry(1, "B2", "TV-2415Q", 50, 70, 1200)}));
  EXPECT_TRUE(Eventually([&] { return sim_->OpenHandles("A1") > 0 && sim_->OpenHandles("B2") > 0; }));
}

TEST_F(MonitorFuncHelperTest, RefreshAllEnumeratesAndReadsWhatTheMonitorsHoldNow) {
  for (const char* serial : {"A1", "B2", "C3"}) Add(MonitorJson(serial));
  Refresh();
  ASSERT_EQ(set_->lastDisplayCount, 3);
  set_->buildStatusReport();
  sim_->SetVcp("C3", 0x12, 10);
  set_->refreshAll();
  EXPECT_EQ(set_->lastDisplayCount, 999);
  Refresh();
  EXPECT_EQ(set_->lastDisplayCount, 3);
  EXPECT_EQ(Entry("C3"), agentmactest::FullEntry(2, "C3", "TV-2415Q", 50, 10, 1200));
}

TEST_F(MonitorFuncHelperTest, DisplayCommandsReachTheirUpdatersAndWhatIsMalformedIsSaid) {
  Add(MonitorJson("A1"));
  Add(MonitorJson("B2"));
  Refresh();
  const struct {
    const char* name;
    std::optional<json> message;
    const char* warning;  // logged once
    std::size_t posts;
  } cases[] = {
      {"no message", std::nullopt, "[Warn] Invalid monitorList\n", 0},
      {"empty", json::object(), "[Warn] Invalid monitorList\n", 0},
      {"not an array", json{{"monitorList", 5}}, "[Warn] Invalid monitorList\n", 0},
      {"not objects", json{{"monitorList", {1}}}, "[Warn] Invalid monitorList\n", 0},
      {"no monitors", json{{"monitorList", json::array()}}, nullptr, 0},
      {"unknown serial", json::parse(R"({"monitorList": [{"serialNumber": "ZZ", "funcList": [[16, 1]]}]})"),
       "[Warn] No updater found for SN: ZZ\n", 0},
      {"text in funcList", json::parse(R"({"monitorList": [{"serialNumber": "A1", "funcList": [["x"]]}]})"),
       "[Warn] Invalid funcList\n", 0},
      {"no funcList", json::parse(R"({"monitorList": [{"serialNumber": "A1"}]})"), "[Warn] Invalid funcList\n", 0},
      {"empty funcList", json::parse(R"({"monitorList": [{"serialNumber": "A1", "funcList": []}]})"), nullptr, 0},
      {"two monitors",
       json::parse(R"({"monitorList": [{}, {"serialNumber": 5}, {"serialNumber": "A1", "funcList": [[16, 1], [248, 5, 0]]},
                       {"serialNumber": "B2", "funcList": [[18, 2, 9]]}]})"),
       nullptr, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LogMark mark;
    set_->addDisplayCommand(c.message);
    const std::string log = mark.Since();
    if (c.warning != nullptr) {
      EXPECT_EQ(Occurrences(log, c.warning), 1u) << log;
    }
    EXPECT_EQ(Occurrences(log, "[Warn] Sending command: ImmediatelyRunDisplayCommand\n"), c.posts) << log;
  }
  EXPECT_EQ(set_->updater("A1")->queuedDisplayCommands(),
            (std::vector<MonitorUpdater::VcpCommand>{{16, 1}, {248, 5, 0}}));
  EXPECT_EQ(set_->updater("B2")->queuedDisplayCommands(), (std::vector<MonitorUpdater::VcpCommand>{{18, 2, 9}}));

  set_->runDisplayCommands();
  EXPECT_EQ(sim_->Vcp("A1", 0x10)->current, 1);
  EXPECT_EQ(sim_->ExtendedVcp("A1", 0x05)->current, 0);
  EXPECT_EQ(sim_->Vcp("B2", 0x12)->current, 2);
  EXPECT_TRUE(set_->updater("A1")->queuedDisplayCommands().empty());

  // Numbers too large for any field are kept too large, and dropped when they run.
  set_->addDisplayCommand(json::parse(R"({"monitorList": [{"serialNumber": "A1", "funcList": [[16, 18446744073709551615]]}]})"));
  EXPECT_EQ(set_->updater("A1")->queuedDisplayCommands(),
            (std::vector<MonitorUpdater::VcpCommand>{{16, INT64_MAX}}));
}

TEST_F(MonitorFuncHelperTest, AReportWithoutUpdatersListsNoMonitors) {
  const json report = set_->buildStatusReport();
  EXPECT_EQ(report["type"], "displayStatusReport");
  EXPECT_EQ(report["monitorList"], json::array());
}

}  // namespace
