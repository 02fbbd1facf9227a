// TarvikService with two monitors served by monsim: what the management server learns of them,
// how its commands reach them, and what it hears of their changes and their unplugging.
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/testing/ExpectedEntries.h"
#include "agent-macos/testing/ReportedMonitors.h"
#include "agent-macos/testing/ServiceProgramTest.h"
#include "agent-macos/testing/VcpWrites.h"
#include "testkit/monsim/testing/MonsimProcess.h"

using nlohmann::json;
using namespace agentmactest;
using namespace std::chrono_literals;

namespace {

const std::string kFirst = "TVK24Q100001";
const std::string kSecond = "TVK27Q100002";

class TarvikServiceMonitorsTest : public ServiceProgramTest {
 protected:
  void SetUp() override {
    ServiceProgramTest::SetUp();
    // monsim announces its plugs and unplugs as USB devices on the agent's machine.
    monsim_ = std::make_unique<monsim::testing::MonsimProcess>(
        MONSIM_PROGRAM, MONSIM_TWO_MONITORS_FILE,
        std::vector<std::pair<std::string, std::string>>{{"TARVIK_MAC_ROOT", (folder_ / "mac").string()}});
    ASSERT_TRUE(monsim_->Ready());
    WriteProfile(server_, "http", "tarvik");
    Start({{"TARVIK_MONSIM_SOCKET", monsim_->DeviceSocket()}});
    ASSERT_TRUE(server_.WaitForUpgrades(1)) << agent_->Output();
  }

  json Report(std::size_t first, bool (*accept)(const json&), std::chrono::milliseconds limit = 30s) {
    return WaitForType(server_, "displayStatusReport", first, limit, accept);
  }

  json Vcp(const std::string& id, const std::string& code, const std::string& subCode = "") const {
    json command = {{"cmd", "get-vcp"}, {"id", id}, {"code", code}};
    if (!subCode.empty()) command["subCode"] = subCode;
    return monsim_->Send(command)["vcp"]["current"];
  }

  std::vector<VcpWrite> VcpWrites() const { return VcpWritesIn(monsim_->Send({{"cmd", "requests"}})["requests"]); }

  // Emits the message once the agent's read thread holds the monitor open, again when the agent
  // did not hear it (it was between two reads); the report that carries the change.
  json EmitUntilReported(const std::string& id, const json& message, const json& record) {
    for (int attempt = 0; attempt < 10; ++attempt) {
      const std::size_t before = server_.Messages().size();
      for (int wait = 0; wait < 100 && monsim_->Send({{"cmd", "handles"}, {"id", id}})["handles"] == 0; ++wait)
        std::this_thread::sleep_for(20ms);
      EXPECT_EQ(monsim_->Send({{"cmd", "emit"}, {"id", id}, {"message", message}})["ok"], true);
      const json report = WaitForType(server_, "displayStatusReport", before, 3s, [&](const json& r) {
        const json entry = EntryOf(r, id);
        return entry.is_object() && !IsFull(entry) && entry["funcList"] == json::array({record});
      });
      if (!report.is_null()) return report;
    }
    return nullptr;
  }

  std::unique_ptr<monsim::testing::MonsimProcess> monsim_;
  testkit::MgmtServer server_;
};

TEST_F(TarvikServiceMonitorsTest, TheServerSeesSetsAndHearsTheMonitors) {
  // Each monitor's first entry once it has been read is full (the two may come in two reports);
  // short entries follow.
  const json firstFull = Report(0, [](const json& r) { return IsFull(EntryOf(r, kFirst)); });
  ASSERT_FALSE(firstFull.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(firstFull, kFirst), FullEntry(0, kFirst, "TV-2415Q", 50, 70, 1200));
  const json secondFull = Report(0, [](const json& r) { return IsFull(EntryOf(r, kSecond)); });
  ASSERT_FALSE(secondFull.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(secondFull, kSecond), FullEntry(1, kSecond, "TV-2715Q", 60, 75, 830));
  std::size_t at = server_.Messages().size();
  json next = Report(at, [](const json&) { return true; });
  EXPECT_EQ(next["monitorList"], json::array({ShortEntry(0, kFirst, 1), ShortEntry(1, kSecond, 1)}));
  // The monitors present at the start are no USB event.
  EXPECT_EQ(agent_->Output().find("USB device"), std::string::npos) << agent_->Output();

  // B2 unplugged: a USB removal, then not powered after the next refresh; back: a USB arrival,
  // read again and heard again.
  std::size_t outputAt = agent_->Output().size();
  ASSERT_EQ(monsim_->Send({{"cmd", "unplug"}, {"id", kSecond}})["ok"], true);
  ASSERT_TRUE(agent_->WaitForOutput("[Info] USB device removed.\n", outputAt)) << agent_->Output();
  at = server_.Messages().size();
  json gone = Report(at, [](const json& r) { return EntryOf(r, kSecond)["powerStatus"] == 0; });
  ASSERT_FALSE(gone.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(gone, kFirst)["powerStatus"], 1);
  outputAt = agent_->Output().size();
  ASSERT_EQ(monsim_->Send({{"cmd", "plug"}, {"id", kSecond}})["ok"], true);
  ASSERT_TRUE(agent_->WaitForOutput("[Info] USB device added or changed.\n", outputAt)) << agent_->Output();
  at = server_.Messages().size();
  // The arrival restarts the refreshes: a full entry once a refresh has read it again and the
  // next report (up to a report period later) carries it.
  json back = Report(at, [](const json& r) { return IsFull(EntryOf(r, kSecond)); }, 40s);
  ASSERT_FALSE(back.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(back, kSecond), FullEntry(1, kSecond, "TV-2715Q", 60, 75, 830));
  EXPECT_FALSE(EmitUntilReported(kSecond, {{"funcCode", 38}, {"subCode", 0x12}, {"param3", 40}, {"param4", 100}},
                                 {18, 40, 100})
                   .is_null())
      << agent_->Output();

  // A display command: its response, then the writes in order and paced, then a report at once.
  monsim_->Send({{"cmd", "clear-requests"}});
  at = server_.Messages().size();
  outputAt = agent_->Output().size();
  ASSERT_TRUE(server_.SendText(R"({"cmdid": 7, "type": "displayCommand", "monitorList": [{"serialNumber": ")" +
                               kFirst + R"(", "funcList": [[16, 30], [248, 33, 1]]}]})"));
  EXPECT_EQ(WaitForType(server_, "response", at), json::parse(R"({"cmdid": 7, "type": "response", "status": "ok"})"));
  ASSERT_TRUE(agent_->WaitForOutput("Heartbeat command set to run immediately.", outputAt)) << agent_->Output();
  const std::vector<VcpWrite> writes = VcpWrites();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(CodesAndValues(writes), (std::vector<int>{0x10, 30, 0xF8, 33, 0xF7, 1}));
  EXPECT_GE(writes[1].timeMs - writes[0].timeMs, 50);
  EXPECT_GE(writes[2].timeMs - writes[1].timeMs, 200);
  EXPECT_EQ(Vcp(kFirst, "10"), 30);
  EXPECT_EQ(Vcp(kFirst, "F8", "21"), 1);

  // A change the monitor announces reaches one short entry.
  const json heard = EmitUntilReported(kFirst, {{"funcCode", 38}, {"subCode", 0x10}, {"param3", 70}, {"param4", 100}},
                                       {16, 70, 100});
  ASSERT_FALSE(heard.is_null()) << agent_->Output();
  at = server_.Messages().size();
  EXPECT_EQ(EntryOf(Report(at, [](const json&) { return true; }), kFirst)["funcList"], json::array());

  // "RefreshAllStatus": full entries at once from what the agent knows, then with what the monitors
  // hold now once they have been read again.
  at = server_.Messages().size();
  ASSERT_TRUE(server_.SendText(R"({"type": "RefreshAllStatus"})"));
  json refreshed = Report(at, [](const json& r) {
    return IsFull(EntryOf(r, kFirst)) && IsFull(EntryOf(r, kSecond)) && EntryOf(r, kFirst)["funcList"][0][1] == 30;
  });
  ASSERT_FALSE(refreshed.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(refreshed, kFirst), FullEntry(0, kFirst, "TV-2415Q", 30, 70, 1200));
  EXPECT_EQ(EntryOf(refreshed, kSecond), FullEntry(1, kSecond, "TV-2715Q", 60, 75, 830));

  ExpectStopsOn(SIGTERM);
}

}  // namespace
