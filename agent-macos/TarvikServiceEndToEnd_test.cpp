// TarvikService's whole story with real processes, the way it runs: started from its own folder
// beside its profile, two monitors A1 and B2 served by monsim, the management server on loopback
// and a firmware package whose program is the installer double. One run: every step works on
// what the steps before it left.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/testing/ExpectedEntries.h"
#include "agent-macos/testing/InstallerScripts.h"
#include "agent-macos/testing/MessageArrivals.h"
#include "agent-macos/testing/MessageLayouts.h"
#include "agent-macos/testing/PackageTestFolder.h"
#include "agent-macos/testing/ReportedMonitors.h"
#include "agent-macos/testing/ServiceProgramTest.h"
#include "agent-macos/testing/VcpWrites.h"
#include "testkit/monsim/testing/MonsimProcess.h"
#include "testkit/packages/MacPackages.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace agentmactest;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kA1 = "A1";
const std::string kB2 = "B2";
const std::string kA1Model = "TV-2415Q";
const std::string kB2Model = "TV-2715Q";

// A report that nothing woke follows the one before it by the heartbeat's 101 waits of 0.1 s.
constexpr auto kReportPeriod = 10100ms;

// What a monitor holds, for its full entry wherever a report lists it.
struct Holding {
  std::string serial;
  std::string model;
  int brightness;
  int contrast;
  int useTimes;
};

json FullAt(const Holding& monitor, int index) {
  return FullEntry(index, monitor.serial, monitor.model, monitor.brightness, monitor.contrast, monitor.useTimes);
}

// A time as monsim writes the times of its requests: of the machine's steady clock, which this
// process reads too.
long long Milliseconds(Clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

// The "firmwareUpdateProgress" that relays one report of A1's installer.
json ProgressOfA1(int percent, int state, const std::string& context, int userId) {
  json processInfo = {{"updateStatus", percent}, {"updateFlag", state}, {"updateContent", context}, {"userId", userId}};
  json entry = {{"index", 0}, {"serialNumber", kA1}, {"updateProcessInfo", std::move(processInfo)}};
  return {{"hostName", kComputerName}, {"type", "firmwareUpdateProgress"}, {"monitorList", json::array({entry})}};
}

// The value at this place of a message or entry (a JSON pointer), null when there is none.
json At(const json& value, const char* place) {
  return value.is_object() ? value.value(json::json_pointer(place), json()) : json();
}

bool IsReport(const Arrival& arrival) { return At(arrival.message, "/type") == "displayStatusReport"; }

// Both monitors listed short, without change records, with these power states.
void ExpectBothShort(const json& report, int powerA1, int powerB2) {
  EXPECT_EQ(At(report, "/monitorList").size(), 2u) << report;
  EXPECT_EQ(EntryOf(report, kA1), ShortEntry(PositionOf(report, kA1), kA1, powerA1));
  EXPECT_EQ(EntryOf(report, kB2), ShortEntry(PositionOf(report, kB2), kB2, powerB2));
}

// How often part occurs in text from offset `from` to offset `to`.
std::size_t Occurrences(const std::string& text, const std::string& part, std::size_t from, std::size_t to) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part, from); at != std::string::npos && at < to; at = text.find(part, at + 1))
    ++count;
  return count;
}

class TarvikServiceEndToEndTest : public ServiceProgramTest {
 protected:
  void SetUp() override {
    ServiceProgramTest::SetUp();
    fs::create_directories(folder_ / "tmp");
    // monsim announces its plugs and unplugs as USB devices on the agent's machine.
    monsim_ = std::make_unique<monsim::testing::MonsimProcess>(
        MONSIM_PROGRAM, MONSIM_A1_B2_FILE,
        std::vector<std::pair<std::string, std::string>>{{"TARVIK_MAC_ROOT", (folder_ / "mac").string()}});
    ASSERT_TRUE(monsim_->Ready());
    WriteProfile(server_, "http", "tarvik");
    Start({{"TARVIK_MONSIM_SOCKET", monsim_->DeviceSocket()},
           {"TMPDIR", (folder_ / "tmp").string()},
           {"TARVIK_INSTALLER_RECORD", installerStarts().string()}});
  }

  fs::path installerStarts() const { return folder_ / "installer-starts.jsonl"; }
  // What the agent keeps in its own temporary folder.
  fs::path agentTemporary() const { return folder_ / "tmp" / ("TarvikService-" + std::to_string(::getuid())); }

  template <typename Accept>
  json Report(std::size_t first, Accept accept) const {
    return WaitForType(server_, "displayStatusReport", first, 30s, accept);
  }
  json NextReport(std::size_t first) const {
    return Report(first, [](const json&) { return true; });
  }

  // Once each monitor has `count` entries from message `first` on: the first of each is full, with
  // what it holds, the others short.
  void ExpectFullThenShort(const testkit::MgmtServer& server, std::size_t first, std::size_t count,
                           const Holding& a1, const Holding& b2) const {
    const auto reported = [&] {
      const std::vector<testkit::MgmtMessage> messages = server.MessagesSince(first);
      return EntriesOf(messages, kA1).size() >= count && EntriesOf(messages, kB2).size() >= count;
    };
    ASSERT_TRUE(packagetest::eventually(reported, 60s)) << agent_->Output();
    const std::vector<json> reports = ReportsIn(server.MessagesSince(first));
    for (const Holding* monitor : {&a1, &b2}) {
      std::size_t seen = 0;
      for (const json& report : reports) {
        const int place = PositionOf(report, monitor->serial);
        if (place < 0 || seen == count) continue;
        const json expected = seen == 0 ? FullAt(*monitor, place) : ShortEntry(place, monitor->serial, 1);
        EXPECT_EQ(EntryOf(report, monitor->serial), expected) << monitor->serial << " entry " << seen;
        ++seen;
      }
    }
  }

  // Whether each monitor comes to be reported in full, with what it holds, from message `first` on.
  bool ReportedInFull(std::size_t first, const Holding& a1, const Holding& b2) const {
    const auto inFull = [](const std::vector<json>& reports, const Holding& monitor) {
      return std::any_of(reports.begin(), reports.end(), [&](const json& report) {
        return EntryOf(report, monitor.serial) == FullAt(monitor, PositionOf(report, monitor.serial));
      });
    };
    return packagetest::eventually(
        [&] {
          const std::vector<json> reports = ReportsIn(server_.MessagesSince(first));
          return inFull(reports, a1) && inFull(reports, b2);
        },
        40s);
  }

  json VcpOfA1(const std::string& code, const std::string& subCode = "") const {
    json command = {{"cmd", "get-vcp"}, {"id", kA1}, {"code", code}};
    if (!subCode.empty()) command["subCode"] = subCode;
    return monsim_->Send(command)["vcp"]["current"];
  }

  std::vector<VcpWrite> VcpWritesToA1() const {
    const json answer = monsim_->Send({{"cmd", "requests"}});
    json requests = json::array();
    for (const json& request : answer["requests"])
      if (request["monitor"] == kA1) requests.push_back(request);
    return VcpWritesIn(requests);
  }

  // Emits the message once the agent's read thread holds A1 open, and again only when a report
  // that came after it lacks its record while the agent has not logged hearing it (it came
  // between two reads); the report that carries the record. Each wait outlasts a report period.
  json EmitToA1UntilReported(const json& message, const json& record) {
    const std::string heard = "MonitorCallback funcCode: " + message["funcCode"].dump() +
                              ", subCode: " + message["subCode"].dump() + ", param3: " + message["param3"].dump() +
                              ", param4: " + message["param4"].dump() + " ";
    const auto carries = [&](const Arrival& arrival) {
      const json entry = EntryOf(arrival.message, kA1);
      return IsReport(arrival) && !IsFull(entry) && At(entry, "/funcList") == json::array({record});
    };
    MessageArrivals arrivals(server_);
    for (int attempt = 0; attempt < 10; ++attempt) {
      for (int wait = 0; wait < 100 && monsim_->Send({{"cmd", "handles"}, {"id", kA1}})["handles"] == 0; ++wait)
        std::this_thread::sleep_for(20ms);
      const std::size_t outputAt = agent_->Output().size();
      const auto emitted = Clock::now();
      EXPECT_EQ(monsim_->Send({{"cmd", "emit"}, {"id", kA1}, {"message", message}})["ok"], true);
      const std::optional<Arrival> report = arrivals.WaitFor(
          [&](const Arrival& arrival) {
            return carries(arrival) || (IsReport(arrival) && arrival.after >= emitted &&
                                        agent_->Output().find(heard, outputAt) == std::string::npos);
          },
          3 * kReportPeriod);
      if (!report) return nullptr;
      if (carries(*report)) return report->message;
    }
    return nullptr;
  }

  std::unique_ptr<monsim::testing::MonsimProcess> monsim_;
  testkit::MgmtServer server_;
};

TEST_F(TarvikServiceEndToEndTest, FromTheFirstReportToTheStop) {
  // 1. The upgrade names the computer; each monitor's first entry is full (the two may come in
  // two reports), the ones after it short.
  ASSERT_TRUE(server_.WaitForUpgrades(1)) << agent_->Output();
  EXPECT_EQ(server_.Upgrades()[0].path, "/tarvik/ws");
  EXPECT_EQ(server_.Upgrades()[0].headers.at("sn"), kComputerName);
  ExpectFullThenShort(server_, 0, 2, {kA1, kA1Model, 40, 70, 1200}, {kB2, kB2Model, 60, 75, 830});
  ASSERT_FALSE(HasFatalFailure());
  // The monitors present at the start are no USB event.
  EXPECT_EQ(agent_->Output().find("USB device"), std::string::npos) << agent_->Output();

  // 2. A display command, sent as a report has just come: the response, then the writes in
  // order and paced (the gaps are lower bounds), then a report that came after the last write
  // and before a period had passed since the one before it, so the run woke the heartbeat.
  monsim_->Send({{"cmd", "clear-requests"}});
  MessageArrivals arrivals(server_);
  const std::optional<Arrival> previous = arrivals.WaitFor(IsReport, 30s);
  ASSERT_TRUE(previous) << agent_->Output();
  ASSERT_TRUE(server_.SendText(R"({"cmdid": 7, "type": "displayCommand", "monitorList": [{"serialNumber": "A1",
      "funcList": [[16, 50], [248, 33, 2]]}]})"));
  const std::optional<Arrival> immediate = arrivals.WaitFor(
      [&](const Arrival& arrival) {
        if (!IsReport(arrival)) return false;
        const std::vector<VcpWrite> writes = VcpWritesToA1();
        return writes.size() >= 3 && Milliseconds(arrival.after) >= writes[2].timeMs;
      },
      30s);
  ASSERT_TRUE(immediate) << agent_->Output();
  EXPECT_LT(immediate->by - previous->after, kReportPeriod);
  ExpectBothShort(immediate->message, 1, 1);
  const std::vector<testkit::MgmtMessage> answered = server_.MessagesSince(previous->index + 1);
  ASSERT_FALSE(answered.empty());
  EXPECT_EQ(json::parse(answered[0].data), json::parse(R"({"cmdid": 7, "type": "response", "status": "ok"})"));
  const std::vector<VcpWrite> writes = VcpWritesToA1();
  ASSERT_EQ(writes.size(), 3u) << agent_->Output();
  EXPECT_EQ(CodesAndValues(writes), (std::vector<int>{0x10, 50, 0xF8, 33, 0xF7, 2}));
  EXPECT_GE(writes[1].timeMs - writes[0].timeMs, 50);
  EXPECT_GE(writes[2].timeMs - writes[1].timeMs, 200);
  EXPECT_EQ(VcpOfA1("10"), 50);
  EXPECT_EQ(VcpOfA1("F8", "21"), 2);

  // 3. A change that A1 announces travels once, in its next short entry.
  const std::size_t beforeEmit = server_.Messages().size();
  const json heard =
      EmitToA1UntilReported({{"funcCode", 38}, {"subCode", 0x10}, {"param3", 70}, {"param4", 100}}, {16, 70, 100});
  ASSERT_FALSE(heard.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(heard, kA1), ShortEntry(PositionOf(heard, kA1), kA1, 1, {{16, 70, 100}}));
  std::size_t at = server_.Messages().size();
  const json next = NextReport(at);
  EXPECT_EQ(EntryOf(next, kA1), ShortEntry(PositionOf(next, kA1), kA1, 1));
  std::size_t carried = 0;
  for (const json& entry : EntriesOf(server_.MessagesSince(beforeEmit), kA1))
    carried += At(entry, "/funcList") == json::array({{16, 70, 100}}) ? 1 : 0;
  EXPECT_EQ(carried, 1u);

  // 4. "RefreshAllStatus": full entries again, with what the monitors hold now, B2's contrast
  // changed behind the agent's back included.
  ASSERT_EQ(monsim_->Send({{"cmd", "set-vcp"}, {"id", kB2}, {"code", "12"}, {"value", 55}})["ok"], true);
  at = server_.Messages().size();
  ASSERT_TRUE(server_.SendText(R"({"type": "RefreshAllStatus"})"));
  EXPECT_TRUE(ReportedInFull(at, {kA1, kA1Model, 50, 70, 1200}, {kB2, kB2Model, 60, 55, 830})) << agent_->Output();

  // 5. B2 unplugged: a USB removal, then not powered; back: a USB arrival, then powered and read
  // again.
  std::size_t outputAt = agent_->Output().size();
  ASSERT_EQ(monsim_->Send({{"cmd", "unplug"}, {"id", kB2}})["ok"], true);
  ASSERT_TRUE(agent_->WaitForOutput("[Info] USB device removed.\n", outputAt)) << agent_->Output();
  at = server_.Messages().size();
  const json gone = Report(at, [](const json& r) { return At(EntryOf(r, kB2), "/powerStatus") == 0; });
  ASSERT_FALSE(gone.is_null()) << agent_->Output();
  ExpectBothShort(gone, 1, 0);
  outputAt = agent_->Output().size();
  ASSERT_EQ(monsim_->Send({{"cmd", "plug"}, {"id", kB2}})["ok"], true);
  ASSERT_TRUE(agent_->WaitForOutput("[Info] USB device added or changed.\n", outputAt)) << agent_->Output();
  at = server_.Messages().size();
  const json back = Report(at, [](const json& r) {
    const json b2 = EntryOf(r, kB2);
    return IsFull(b2) && At(b2, "/powerStatus") == 1;
  });
  ASSERT_FALSE(back.is_null()) << agent_->Output();
  EXPECT_EQ(EntryOf(back, kB2), FullEntry(PositionOf(back, kB2), kB2, kB2Model, 60, 55, 830));

  // 6. A firmware update of A1: the package fetched, its installer started with the command's
  // options, both of its reports relayed with the command's user, nothing left once it ends.
  const json script = OneReportEachWayScript();
  server_.ServePackage("pkg_v2.zip", testkit::packages::MacInstallerZip(testkit::packages::MacPackageKind::Bundle,
                                                                        MAC_INSTALLER_PROGRAM, script.dump()));
  at = server_.Messages().size();
  outputAt = agent_->Output().size();
  ASSERT_TRUE(server_.SendText(R"({"type": "firmwareUpdateCommand", "monitorList": [{"serialNumber": "A1",
      "updatePackageInfo": {"packageUrl": "pkg_v2.zip", "updateType": 1, "updateTime": 900, "userId": 5}}]})"));
  for (const json& expected : {ProgressOfA1(50, 1, "installing", 5), ProgressOfA1(100, 2, "done", 5)}) {
    const json progress = WaitForType(server_, "firmwareUpdateProgress", at, 30s, [&](const json& m) {
      return At(m, "/monitorList/0/updateProcessInfo/updateFlag") ==
             At(expected, "/monitorList/0/updateProcessInfo/updateFlag");
    });
    ASSERT_EQ(progress, expected) << agent_->Output();
    // A whole percent goes out as an integer.
    EXPECT_TRUE(At(progress, "/monitorList/0/updateProcessInfo/updateStatus").is_number_integer()) << progress;
  }
  EXPECT_EQ(server_.PackageRequests(),
            std::vector<std::string>{"/tarvik/model/package/getModelPackageByModelName?filename=pkg_v2.zip"});
  const json start = json::parse(packagetest::readFile(installerStarts()), nullptr, false);
  ASSERT_TRUE(start.is_object()) << packagetest::readFile(installerStarts());
  EXPECT_EQ(At(start, "/arguments"), json::array({"-no_delay", "-set_task_time", "900", "-sn", "A1"})) << start;
  EXPECT_TRUE(start.value("program", "").ends_with("/Installer.app/Contents/MacOS/Installer")) << start;
  ASSERT_TRUE(agent_->WaitForOutput("[Info] App finished, cleaning up...\n", outputAt)) << agent_->Output();
  EXPECT_TRUE(packagetest::eventually([&] { return fs::is_empty(agentTemporary()); }))
      << packagetest::folderContents(agentTemporary());

  // 7. A dropped connection is mended by the next pass of the monitor loop: its reconnect comes
  // after at most two of the loop's pass lines (one may have begun before the drop was seen),
  // its first entries full. Another server in the profile: the first connection is closed as
  // going away, the new one reaches that server.
  const std::size_t upgrades = server_.Upgrades().size();
  outputAt = agent_->Output().size();
  server_.DropConnections();
  at = server_.Messages().size();
  ASSERT_TRUE(server_.WaitForUpgrades(upgrades + 1, 30s)) << agent_->Output();
  const std::string reconnect = "[Info] WebSocket is disconnected. Attempting to reconnect...\n";
  ASSERT_TRUE(agent_->WaitForOutput(reconnect, outputAt)) << agent_->Output();
  const std::string output = agent_->Output();
  EXPECT_LE(Occurrences(output, "[Info] Monitoring tasks...\n", outputAt, output.find(reconnect, outputAt)), 2u)
      << output.substr(outputAt);
  const Holding a1 = {kA1, kA1Model, 50, 70, 1200};
  const Holding b2 = {kB2, kB2Model, 60, 55, 830};
  ExpectFullThenShort(server_, at, 1, a1, b2);

  testkit::MgmtServer second;
  WriteProfile(second, "http", "tarvik", "localhost");
  ASSERT_TRUE(second.WaitForUpgrades(1, 15s)) << agent_->Output();
  EXPECT_EQ(second.Upgrades()[0].path, "/tarvik/ws");
  EXPECT_EQ(second.Upgrades()[0].headers.at("sn"), kComputerName);
  ASSERT_TRUE(server_.WaitForCloseCodes(1, 10s)) << agent_->Output();
  EXPECT_EQ(server_.CloseCodes(), std::vector<std::uint16_t>{1001});
  ExpectFullThenShort(second, 0, 1, a1, b2);

  // 8. The stop.
  ExpectStopsOn(SIGTERM);

  // Every message that either server received has the layout of its kind.
  for (const testkit::MgmtServer* server : {&server_, &second})
    for (const testkit::MgmtMessage& m : server->Messages()) {
      EXPECT_TRUE(m.text);
      EXPECT_EQ(LayoutProblem(json::parse(m.data, nullptr, false)), "");
    }
}

}  // namespace
