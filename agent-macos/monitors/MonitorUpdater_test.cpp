// One monitor updater over simulated monitors: the device read, the display commands, the
// messages its monitor sends and the report entries it makes of them.
#include "agent-macos/monitors/MonitorUpdater.h"

#include <climits>
#include <cstring>

#include "agent-macos/monitors/MonitorTestSupport.h"
#include "agent-macos/testing/ExpectedEntries.h"
#include "agent-macos/testing/VcpWrites.h"

namespace {

using agentmactest::LogMark;
using monitortest::MonitorJson;
using nlohmann::json;

const std::string kSerial = "TVK24Q100001";

class MonitorUpdaterTest : public monitortest::SimulatedMonitorsTest {
 protected:
  void TearDown() override {
    Drop();
    SimulatedMonitorsTest::TearDown();
  }

  // A running read thread keeps its updater alive: it is stopped first.
  void Drop() {
    if (updater_) updater_->stopReading();
    updater_.reset();
  }

  // An updater of the monitor, its first device read done.
  MonitorUpdater& ReadMonitor(const json& changes = json::object()) {
    Add(MonitorJson(kSerial, changes));
    updater_ = MonitorUpdater::create(Listed(kSerial));
    EXPECT_TRUE(updater_->InitDevice());
    return *updater_;
  }

  json Entries() {
    json list = json::array();
    std::int64_t index = 0;
    updater_->reportEntries(list, index);
    return list;
  }

  ZunCacheMonitorInfo Cached() { return updater_->cachedMonitors().at(kSerial); }

  std::vector<agentmactest::VcpWrite> VcpWrites() const {
    json requests = json::array();
    for (const monsim::RecordedRequest& request : sim_->Requests()) requests.push_back(monsim::RequestToJson(request));
    return agentmactest::VcpWritesIn(requests);
  }

  std::shared_ptr<MonitorUpdater> updater_;
};

TEST_F(MonitorUpdaterTest, AReadFillsTheCacheAndTheFirstEntryIsFullTheNextShort) {
  LogMark mark;
  ReadMonitor();
  EXPECT_EQ(Entries(), json::array({agentmactest::FullEntry(0, kSerial, "TV-2415Q", 50, 70, 1200)}));
  EXPECT_EQ(Entries(), json::array({agentmactest::ShortEntry(0, kSerial, 1)}));
  EXPECT_EQ(updater_->rootSerial(), kSerial);
  EXPECT_FALSE(updater_->deviceReadDue());

  const std::string log = mark.Since();
  std::size_t at = 0;
  for (const std::string line :
       {"Start update monitor info,  current time(ms): ", "Load monitor 0 info OK, current time(ms): ",
        "Monitor Info: ZunMonitorInfo(vendor_id: 14961, product_id: 61455, deviceCount: 1, i2cBufSize: 32, "
        "modelName: \"TV-2415Q\", specialID: \"A1\", vendorID: \"QLM\", sn: \"TVK24Q100001\", "
        "overallVersionDebug: 12, overallVersionRelease: 3)\n",
        "Monitor 0 load base info Ok, current time(ms): ", "Key: 16, Value: []\n", "Key: 18, Value: []\n",
        "Key: 63493, Value: [0, 1]\n", "Monitor 0 load capstring Ok, current time(ms): ",
        "Monitor 0 load VCP values Ok, current time(ms): "}) {
    at = log.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << "\n" << log;
  }
  // The stamps are milliseconds of the calendar time.
  const std::size_t stamp = log.find("current time(ms): ") + std::strlen("current time(ms): ");
  const long long ms = std::stoll(log.substr(stamp));
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  EXPECT_LE(now - ms, 60000);
  EXPECT_GE(now - ms, 0);
}

TEST_F(MonitorUpdaterTest, OnlyTheFirstMonitorOfAChainIsReadAndNoneWithoutACount) {
  // Two chained behind it: a count of 3, read as one monitor.
  ReadMonitor({{"chain", {{{"port", "01"}}, {{"port", "02"}}}}});
  EXPECT_EQ(updater_->cachedMonitors().size(), 1u);
  EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(MonitorUpdaterTest, AMonitorWithoutACountOrInformationGetsNoEntry) {
  Add(MonitorJson(kSerial, {{"vendor", {{"monitorInfo", nullptr}}}}));
  updater_ = MonitorUpdater::create(Listed(kSerial));
  LogMark mark;
  EXPECT_TRUE(updater_->InitDevice());
  EXPECT_TRUE(updater_->cachedMonitors().empty());
  EXPECT_EQ(Entries(), json::array());
  EXPECT_NE(mark.Since().find("Failed to retrieve model name.\n[Info] Failed to retrieve special ID.\n"
                              "[Info] Failed to retrieve vendor ID.\n[Info] Failed to retrieve serial number.\n"),
            std::string::npos)
      << mark.Since();
  // It goes on: the next read tries the information table again.
  EXPECT_EQ(mark.Since().find("Monitor 0 load base info Ok"), std::string::npos);
}

TEST_F(MonitorUpdaterTest, AReadOfTheMutexStatusAloneKeepsTheIdentityItRead) {
  ReadMonitor();
  sim_->ClearRequests();
  sim_->SetVcp(kSerial, 0x10, 20);
  updater_->SetUpdateMutexStatus();
  ASSERT_TRUE(updater_->InitDevice());
  // No information table (vendor table 0xA1) was read, yet the entry still has its identity.
  for (const monsim::RecordedRequest& request : sim_->Requests()) {
    const auto& bytes = request.payload;
    EXPECT_FALSE(bytes.size() > 4 && bytes[2] == 0xCE && bytes[3] == 0xA1) << monsim::RequestToJson(request);
  }
  EXPECT_EQ(Entries(), json::array({agentmactest::FullEntry(0, kSerial, "TV-2415Q", 20, 70, 1200)}));
}

TEST_F(MonitorUpdaterTest, TheCacheOutlivesAMonitorCountOfZero) {
  ReadMonitor();
  Entries();
  sim_->QueueFault(kSerial, monsim::Fault(monsim::FaultKind::Missing, 0, 60));
  updater_->SetDeviceChange();
  ASSERT_TRUE(updater_->InitDevice());
  EXPECT_EQ(updater_->cachedMonitors().size(), 1u);
  sim_->QueueFault(kSerial, monsim::Fault(monsim::FaultKind::Pass));  // ends what is left of the missing replies
}

TEST_F(MonitorUpdaterTest, TheDeviceValuesBecomeTheCachedStatus) {
  const struct {
    const char* name;
    json vcp;
    std::int32_t powerStatus;
    std::vector<std::uint32_t> mutex;
  } cases[] = {
      {"powered", {{"D6", {{"current", 1u}, {"maximum", 5u}}}}, 1, {2u << 16}},
      {"power mode 4", {{"D6", {{"current", 4u}, {"maximum", 5u}}}}, 0, {2u << 16}},
      // The maximum fills the high half; the word stays unsigned.
      {"mutex maximum 0x8001", {{"FA", {{"current", 2u}, {"maximum", 0x8001u}}}}, 1, {0x80010000u}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_ = std::make_shared<monsim::Simulator>(monsim::ReadWaits::RealTime);
    macstandin::SetHidDeviceSource(sim_);
    ReadMonitor({{"vcp", c.vcp}});
    EXPECT_EQ(Cached().powerStatus, c.powerStatus);
    EXPECT_EQ(Cached().mutexStatus, c.mutex);
    EXPECT_EQ(Entries()[0]["mutexInt"], json(c.mutex));
    Drop();
  }
}

TEST_F(MonitorUpdaterTest, AnUnpluggedMonitorIsNotReadAndItsReadStaysDue) {
  Add(MonitorJson(kSerial));
  const tagMONCTRLINFO info = Listed(kSerial);
  sim_->Unplug(kSerial);
  updater_ = MonitorUpdater::create(info);
  LogMark mark;
  EXPECT_FALSE(updater_->InitDevice());
  EXPECT_TRUE(updater_->deviceReadDue());
  EXPECT_NE(mark.Since().find("InitDevice Failed to open monitor control handle.\n"), std::string::npos);
  sim_->Plug(kSerial);
  EXPECT_TRUE(updater_->InitDevice());
  EXPECT_EQ(Entries(), json::array({agentmactest::FullEntry(0, kSerial, "TV-2415Q", 50, 70, 1200)}));
}

TEST_F(MonitorUpdaterTest, DisplayCommandsAreWrittenInOrderAndPaced) {
  ReadMonitor();
  sim_->ClearRequests();
  LogMark mark;
  updater_->appendDisplayCommand({16, 30});
  updater_->appendDisplayCommand({248, 33, 1});
  updater_->runDisplayCommand();
  const std::vector<agentmactest::VcpWrite> writes = VcpWrites();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(agentmactest::CodesAndValues(writes), (std::vector<int>{0x10, 30, 0xF8, 33, 0xF7, 1}));
  EXPECT_GE(writes[1].timeMs - writes[0].timeMs, 50);
  EXPECT_GE(writes[2].timeMs - writes[1].timeMs, 200);
  EXPECT_EQ(sim_->Vcp(kSerial, 0x10)->current, 30);
  EXPECT_EQ(sim_->ExtendedVcp(kSerial, 0x21)->current, 1);
  EXPECT_NE(mark.Since().find("Sending command: ImmediatelyHeartbeat"), std::string::npos);
  EXPECT_TRUE(updater_->queuedDisplayCommands().empty());
  // The read thread listens again.
  EXPECT_TRUE(Eventually([&] { return sim_->OpenHandles(kSerial) > 0; }));

  // Nothing queued: nothing written, nothing asked of the heartbeat.
  sim_->ClearRequests();
  LogMark idle;
  updater_->runDisplayCommand();
  EXPECT_TRUE(VcpWrites().empty());
  EXPECT_EQ(idle.Since().find("Sending command"), std::string::npos);
}

TEST_F(MonitorUpdaterTest, ARefusedSelectSkipsItsValueAndCommandsThatCannotBeSentAreDropped) {
  ReadMonitor();
  sim_->ClearRequests();
  LogMark mark;
  for (const MonitorUpdater::VcpCommand& command : std::vector<MonitorUpdater::VcpCommand>{
           {16}, {256, 1}, {-1, 1}, {16, 65536}, {248, 1}, {248, 65536, 1}, {248, 1, -1}, {248, 33, 1}, {18, 40}})
    updater_->appendDisplayCommand(command);
  sim_->QueueFault(kSerial, monsim::Fault(monsim::FaultKind::Status, 4));  // the select of 248, 33, not sent again
  updater_->runDisplayCommand();
  const std::vector<agentmactest::VcpWrite> writes = VcpWrites();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(agentmactest::CodesAndValues(writes), (std::vector<int>{0xF8, 33, 0x12, 40}));
  EXPECT_GE(writes[1].timeMs - writes[0].timeMs, 50);
  EXPECT_EQ(sim_->Vcp(kSerial, 0x12)->current, 40);
  const std::string log = mark.Since();
  for (const char* dropped : {"[16]", "[256, 1]", "[-1, 1]", "[16, 65536]", "[248, 1]", "[248, 65536, 1]", "[248, 1, -1]"})
    EXPECT_NE(log.find(std::string("[Warn] Display command dropped, its values do not fit the device: ") + dropped +
                       "\n"),
              std::string::npos)
        << dropped << "\n" << log;
}

TEST_F(MonitorUpdaterTest, MessagesBecomeChangeRecordsAndCacheUpdates) {
  const struct {
    const char* name;
    std::uint32_t funcCode, subCode, param3, param4;
    json reported;  // the next short entry's "funcList"
    std::int32_t powerStatus, lockStatus;
    std::vector<std::uint32_t> mutex;
    bool readDue;
    const char* line;
  } cases[] = {
      {"brightness", 38, 0x10, 70, 100, {{16, 70, 100}}, 1, 0, {2u << 16}, false, nullptr},
      {"extended page", 38, 0x21F7, 5, 9, {{248, 33, 5}}, 1, 0, {2u << 16}, false, nullptr},
      {"unknown page", 38, 0x1234, 1, 2, {{0, 0, 0}}, 1, 0, {2u << 16}, false, "MonitorCallback Error = 38,4660,1,2.\n"},
      {"not a change", 40, 0x10, 1, 2, json::array(), 1, 0, {2u << 16}, false, nullptr},
      {"power mode 4", 38, 0xD6, 4, 0, {{214, 4, 0}}, 4, 0, {2u << 16}, false, nullptr},
      {"power beyond 32 bits", 38, 0xD6, 0x80000000u, 0, {{214, 0x80000000u, 0}}, INT_MAX, 0, {2u << 16}, false,
       nullptr},
      {"locked", 38, 0xF6, 1, 0, {{246, 1, 0}}, 1, 1, {2u << 16}, false, nullptr},
      {"lock beyond 32 bits", 38, 0xF6, 0xFFFFFFFFu, 0, {{246, 0xFFFFFFFFu, 0}}, 1, INT_MAX, {2u << 16}, false,
       nullptr},
      {"mutex word 0", 38, 0xFA, 7, 0, {{250, 7, 0}}, 1, 0, {7}, true, nullptr},
      {"mutex word 3", 38, 0xFA, 7, 3, {{250, 7, 3}}, 1, 0, {2u << 16}, true,
       "updateDeviceMutexStatus Index out of bounds.\n"},
      {"mutex changed", 38, 0x14, 0, 0, {{20, 0, 0}}, 1, 0, {2u << 16}, true, nullptr},
      {"new control value", 38, 0x04, 0, 0, {{4, 0, 0}}, 1, 0, {2u << 16}, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_ = std::make_shared<monsim::Simulator>(monsim::ReadWaits::RealTime);
    macstandin::SetHidDeviceSource(sim_);
    ReadMonitor();
    Entries();
    LogMark mark;
    updater_->MonitorCallback(c.funcCode, c.subCode, c.param3, c.param4);
    const std::string log = mark.Since();
    EXPECT_NE(log.find("MonitorCallback funcCode: " + std::to_string(c.funcCode) + ", subCode: " +
                       std::to_string(c.subCode) + ", param3: " + std::to_string(c.param3) +
                       ", param4: " + std::to_string(c.param4) + " \xEF\xBC\x8C 38\n"),
              std::string::npos)
        << log;
    if (c.line != nullptr) {
      EXPECT_NE(log.find(c.line), std::string::npos) << log;
    }
    EXPECT_EQ(log.find("Heartbeat") != std::string::npos, c.funcCode == 38) << log;
    EXPECT_EQ(Cached().powerStatus, c.powerStatus);
    EXPECT_EQ(Cached().lockStatus, c.lockStatus);
    EXPECT_EQ(Cached().mutexStatus, c.mutex);
    EXPECT_EQ(updater_->deviceReadDue(), c.readDue);
    const json entry = Entries()[0];
    if (c.subCode == 0x04) {
      // A new control value asks for a full entry, which leaves the record queued.
      EXPECT_TRUE(entry.contains("vcpFuncMap"));
      EXPECT_EQ(Entries()[0]["funcList"], c.reported);
    } else {
      EXPECT_EQ(entry["funcList"], c.reported);
      EXPECT_EQ(entry["powerStatus"], c.powerStatus == 1 ? 1 : 0);
    }
    Drop();
  }
}

TEST_F(MonitorUpdaterTest, TheReadThreadHearsWhatTheMonitorSends) {
  ReadMonitor();
  Entries();
  LogMark mark;
  // Sent while the thread holds the device open; again when it came between two reads.
  for (int attempt = 0; attempt < 10 && mark.Since().find("MonitorCallback funcCode: 38") == std::string::npos;
       ++attempt) {
    ASSERT_TRUE(Eventually([&] { return sim_->OpenHandles(kSerial) > 0; }));
    sim_->EmitMessage(kSerial, monsim::DeviceMessage{38, 0x10, 70, 100, {}});
    mark.WaitFor("MonitorCallback funcCode: 38", std::chrono::milliseconds(1500));
  }
  EXPECT_NE(mark.Since().find("[Warn] ReadData result: 5, CMD_MESSAGE funcCode: 38, subCode: 16, param3: 70, "
                              "param4: 100, dataLength: "),
            std::string::npos)
      << mark.Since();
  EXPECT_EQ(Entries()[0]["funcList"], json::array({{16, 70, 100}}));
  // Stopped, it lets go of the device.
  updater_->stopReading();
  EXPECT_EQ(sim_->OpenHandles(kSerial), 0u);
}

}  // namespace
