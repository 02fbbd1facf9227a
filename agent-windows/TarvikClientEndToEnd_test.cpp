// The whole agent with real processes, the way it is deployed: installed as a service on a fresh
// stand-in machine, two monitors served by monsim, the management server on loopback, firmware
// packages whose installer is the installer double, and system events sent from outside.
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/AgentProgramTest.h"
#include "testkit/installer/InstallerScript.h"
#include "testkit/monsim/testing/MonsimProcess.h"
#include "testkit/packages/PackageFolder.h"

using nlohmann::json;
using namespace agenttest;

namespace {

const std::string kFirst = "TVK24Q100001";
const std::string kSecond = "TVK27Q100002";
const std::string kDeviceChanged = "LumbraBackGroundService OnDisplayChangeAA OVER";

class AgentEndToEndTest : public AgentProgramTest {
 protected:
  void SetUp() override {
    AgentProgramTest::SetUp();
    ASSERT_TRUE(monsim_.Ready());
  }

  void Install(const testkit::MgmtServer& server, const std::string& protocol) {
    std::string settings = SettingsFor(server);
    settings.replace(settings.find("Protocol=http"), 13, "Protocol=" + protocol);
    InstallAgent(settings, {{"TARVIK_MONSIM_SOCKET", monsim_.DeviceSocket()},
                            {"TARVIK_WIN32_PE_RUNNER", INSTALLER_PROGRAM},
                            {"TARVIK_INSTALLER_RECORD", packages_.Path() + "/installer-starts.jsonl"}});
  }

  // The serial numbers that the full reports from message `first` on list, sorted, once there
  // are count of them: a monitor that settles a second after its neighbour is reported in full
  // by the next report.
  std::vector<std::string> FullyReportedMonitors(const testkit::MgmtServer& server, std::size_t first,
                                                 std::size_t count) const {
    std::set<std::string> serials;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    do {
      for (const json& report : MessagesOfType(server, "displayStatusReport", first))
        if (!report["monitorList"].empty() && report["monitorList"][0].contains("vcpFuncMap"))
          for (const json& entry : report["monitorList"]) serials.insert(entry["serialNumber"].get<std::string>());
      if (serials.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < deadline);
    return {serials.begin(), serials.end()};
  }

  // The serial numbers of the first full report from message `first` on.
  std::vector<std::string> ReportedMonitors(const testkit::MgmtServer& server, std::size_t first) const {
    const json report = WaitForFullReport(server, first);
    std::vector<std::string> serials;
    if (!report.is_null())
      for (const json& entry : report["monitorList"]) serials.push_back(entry["serialNumber"]);
    return serials;
  }

  // A display command is answered, applied and confirmed by one "VcpState".
  void ExpectDisplayCommandApplied(testkit::MgmtServer& server, int cmdid, int brightness) {
    const std::size_t before = server.Messages().size();
    ASSERT_TRUE(server.SendText(R"({"cmdid":)" + std::to_string(cmdid) +
                                R"(,"type":"displayCommand","monitorList":[{"serialNumber":")" + kFirst +
                                R"(","funcList":[[16,)" + std::to_string(brightness) + "]]}]}"));
    ASSERT_TRUE(server.WaitForMessageContaining(R"("type":"VcpState")", std::chrono::seconds(30)))
        << machine_.Output(kService);
    EXPECT_EQ(CountContaining(server.MessagesSince(before), R"({"cmdid":)" + std::to_string(cmdid) +
                                                                 R"(,"status":"ok","type":"response"})"),
              1u);
    EXPECT_EQ(MessagesOfType(server, "VcpState", before).at(0)["monitorList"],
              json::parse(R"([{"funcList":[[16,)" + std::to_string(brightness) +
                          R"(,0,0,0,0]],"serialNumber":")" + kFirst + R"("}])"));
    EXPECT_EQ(monsim_.Send({{"cmd", "get-vcp"}, {"id", kFirst}, {"code", "10"}})["vcp"]["current"], brightness);
  }

  void SendSystemEvent(const std::vector<std::string>& arguments) {
    testkit::ProgramResult sent = testkit::RunProgram(SEND_SYSTEM_EVENT, arguments);
    ASSERT_EQ(sent.exitCode, 0) << sent.error;
  }

  // The service's process ended by itself, with code 0 and no sanitizer report.
  void ExpectCleanEnd(const std::wstring& service) {
    ASSERT_TRUE(machine_.WaitForExit(service));
    EXPECT_EQ(machine_.ExitCode(service), 0);
    const std::string output = machine_.Output(service);
    EXPECT_FALSE(Has(output, "Sanitizer")) << output;
    EXPECT_FALSE(Has(output, "runtime error")) << output;
  }

  KernelObjectFolder objects_;
  testkit::packages::PackageFolder packages_;
  monsim::testing::MonsimProcess monsim_{MONSIM_PROGRAM, MONSIM_TWO_MONITORS_FILE};
};

TEST_F(AgentEndToEndTest, PlainFromInstallToRemoval) {
  testkit::MgmtServer server;
  Install(server, "http");
  ASSERT_TRUE(server.WaitForUpgrades(1, std::chrono::seconds(30))) << machine_.Output(kService);
  EXPECT_EQ(FullyReportedMonitors(server, 0, 2), (std::vector<std::string>{kFirst, kSecond}))
      << machine_.Output(kService);

  ExpectDisplayCommandApplied(server, 21, 30);

  // A change that the monitor announces shows in a heartbeat.
  const std::size_t beforeChange = server.Messages().size();
  ASSERT_EQ(monsim_.Send({{"cmd", "emit"},
                          {"id", kFirst},
                          {"message", {{"funcCode", 38}, {"subCode", 16}, {"param3", 33}, {"param4", 100}}}})["ok"],
            true);
  bool carried = false;
  for (int i = 0; i < 300 && !carried; ++i) {
    for (const json& report : MessagesOfType(server, "displayStatusReport", beforeChange))
      carried = carried || (!report["monitorList"].empty() && !report["monitorList"][0].contains("vcpFuncMap") &&
                            report["monitorList"][0].value("funcList", json()) == json::parse("[[16,33,100]]"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(carried) << machine_.Output(kService);

  // Unplugged and plugged again: the system's device change makes the agent look again.
  std::size_t changes = Occurrences(machine_.Output(kService), kDeviceChanged);
  std::size_t before = server.Messages().size();
  ASSERT_EQ(monsim_.Send({{"cmd", "unplug"}, {"id", kSecond}})["ok"], true);
  ASSERT_TRUE(WaitForLogLine(kDeviceChanged, changes)) << machine_.Output(kService);
  EXPECT_EQ(ReportedMonitors(server, before), std::vector<std::string>{kFirst}) << machine_.Output(kService);
  changes = Occurrences(machine_.Output(kService), kDeviceChanged);
  before = server.Messages().size();
  ASSERT_EQ(monsim_.Send({{"cmd", "plug"}, {"id", kSecond}})["ok"], true);
  ASSERT_TRUE(WaitForLogLine(kDeviceChanged, changes)) << machine_.Output(kService);
  EXPECT_EQ(FullyReportedMonitors(server, before, 2), (std::vector<std::string>{kFirst, kSecond}))
      << machine_.Output(kService);

  // A firmware update of both monitors, its progress relayed to the server.
  const std::string image =
      packages_.SignedImage(testkit::packages::Signer::Quelmo, testkit::InstallerScriptPayload("{}"));
  server.ServePackage("fw-3.0.exe", image);
  json update = {{"cmdid", 31},
                 {"type", "firmwareUpdateCommand"},
                 {"monitorList", {{{"index", 0}, {"serialNumber", kFirst}}, {{"index", 1}, {"serialNumber", kSecond}}}}};
  update["monitorList"][0]["updatePackageInfo"] = {{"packageUrl", "fw-3.0.exe"}, {"packageSize", image.size()},
                                                   {"silentFlag", 1}, {"updateType", 2},
                                                   {"userId", 7}, {"updateTime", 0}};
  ASSERT_TRUE(server.SendText(update.dump()));
  ASSERT_TRUE(WaitForLogLine("Zun exit :8888:")) << machine_.Output(kService);
  ASSERT_TRUE(WaitForCount(server, "firmwareUpdateProgress", 6)) << machine_.Output(kService);
  for (const std::string& serial : {kFirst, kSecond}) {
    bool finished = false;
    for (const json& progress : MessagesOfType(server, "firmwareUpdateProgress"))
      for (const json& entry : progress["monitorList"])
        finished = finished || (entry["serialNumber"] == serial && entry["updateProcessInfo"]["updateStatus"] == 100);
    EXPECT_TRUE(finished) << serial;
  }

  // The server goes away and comes back: the agent reconnects and reports on.
  const std::size_t beforeDrop = server.Messages().size();
  server.DropConnections();
  ASSERT_TRUE(server.WaitForUpgrades(2, std::chrono::seconds(30))) << machine_.Output(kService);
  EXPECT_EQ(FullyReportedMonitors(server, beforeDrop, 2), (std::vector<std::string>{kFirst, kSecond}));

  // Stopped and removed: the setup program is started to uninstall.
  const testkit::ProgramResult removal = Run("/remove");
  EXPECT_TRUE(Has(removal.output, "HalvanePexonService is stopped.")) << removal.output;
  ExpectCleanEnd(kService);
  EXPECT_TRUE(Has(machine_.Output(kService), "LumbraBackGroundService OnStop"));
  EXPECT_TRUE(Has(PennorakRecord(), "/uninstall")) << PennorakRecord();
  EXPECT_FALSE(machine_.Installed(kService));

  // The service remover stops and deletes a running service of its name.
  const std::wstring remover = L"TarvikService";
  ASSERT_TRUE(machine_.Install(remover, L"\"" + ProgramWindowsPath() + L"\""));
  ASSERT_TRUE(machine_.Start(remover));
  ASSERT_TRUE(machine_.WaitForState(remover, SERVICE_RUNNING));
  ASSERT_TRUE(server.WaitForUpgrades(3, std::chrono::seconds(30))) << machine_.Output(remover);
  const testkit::ProgramResult strikel = testkit::RunProgram(STRIKEL, {});
  EXPECT_EQ(strikel.exitCode, 0);
  EXPECT_EQ(strikel.output, "Service stopped successfully.\nService deleted successfully\n");
  EXPECT_FALSE(machine_.Installed(remover));
  ExpectCleanEnd(remover);
}

TEST_F(AgentEndToEndTest, OverTlsWithTheSystemsEvents) {
  testkit::MgmtServer server(testkit::MgmtServerOptions{true, 0});
  Install(server, "https");
  ASSERT_TRUE(server.WaitForUpgrades(1, std::chrono::seconds(30))) << machine_.Output(kService);
  EXPECT_EQ(server.TlsHandshakes(), 1u);
  EXPECT_EQ(FullyReportedMonitors(server, 0, 2), (std::vector<std::string>{kFirst, kSecond}))
      << machine_.Output(kService);
  ExpectDisplayCommandApplied(server, 22, 45);

  // A session locked only logs; a suspend and an automatic resume log in that order.
  SendSystemEvent({"lock", "2"});
  ASSERT_TRUE(WaitForLogLine("LumbraBackGroundService OnScreenLock")) << machine_.Output(kService);
  SendSystemEvent({"suspend"});
  SendSystemEvent({"resume-automatic"});
  ASSERT_TRUE(WaitForLogLine("LumbraBackGroundService OnSysResum")) << machine_.Output(kService);
  std::string output = machine_.Output(kService);
  EXPECT_LT(output.find("LumbraBackGroundService OnSysSuspend"), output.find("LumbraBackGroundService OnSysResum"));
  EXPECT_FALSE(Has(output, "OnScreenUnLock"));
  EXPECT_FALSE(Has(output, kDeviceChanged));

  // A display change makes the agent enumerate again and send fresh full reports.
  const std::size_t before = server.Messages().size();
  SendSystemEvent({"display-change"});
  ASSERT_TRUE(WaitForLogLine(kDeviceChanged)) << machine_.Output(kService);
  EXPECT_TRUE(Has(machine_.Output(kService), "SYS_MSG_DISPLAY_CHANGE - WM_DISPLAYCHANGE"));
  EXPECT_EQ(FullyReportedMonitors(server, before, 2), (std::vector<std::string>{kFirst, kSecond}));

  RemoveAgent();
  EXPECT_EQ(machine_.ExitCode(kService), 0);
}

}  // namespace
