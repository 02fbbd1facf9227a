// The installed agent and a firmware update, with real processes: the management server serves a
// signed package, the service downloads it, starts its installer (the installer double, through
// the PE runner) and relays what the installer reports over the pipe.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/AgentProgramTest.h"
#include "testkit/installer/InstallerScript.h"
#include "testkit/packages/PackageFolder.h"

using nlohmann::json;
using namespace agenttest;

namespace {

constexpr int kUserId = 4242;

class AgentFirmwareTest : public AgentProgramTest {
 protected:
  void SetUp() override {
    AgentProgramTest::SetUp();
    // The trusted root is the package folder's (it names it in TARVIK_WIN32_TRUSTED_CA).
    InstallAgent(SettingsFor(server_),
                   {{"TARVIK_WIN32_PE_RUNNER", INSTALLER_PROGRAM}, {"TARVIK_INSTALLER_RECORD", RecordPath()}});
    ASSERT_TRUE(server_.WaitForUpgrades(1));
  }

  void TearDown() override { RemoveAgent(); }

  std::string RecordPath() const { return packages_.Path() + "/installer-starts.jsonl"; }

  // Serves a package whose installer follows the script, and commands its update.
  void CommandUpdate(int cmdid, const std::string& name, const std::string& script, const json& monitors,
                     int silentFlag, int updateType) {
    const std::string image = packages_.SignedImage(testkit::packages::Signer::Quelmo,
                                                    testkit::InstallerScriptPayload(script));
    server_.ServePackage(name, image);
    json command = {{"cmdid", cmdid}, {"type", "firmwareUpdateCommand"}, {"monitorList", monitors}};
    command["monitorList"][0]["updatePackageInfo"] = {{"packageUrl", name},
                                                      {"packageSize", image.size()},
                                                      {"silentFlag", silentFlag},
                                                      {"updateType", updateType},
                                                      {"userId", kUserId},
                                                      {"updateTime", 0}};
    ASSERT_TRUE(server_.SendText(command.dump()));
  }

  // Every start of the installer double so far, waiting up to 30 s for the nth.
  std::vector<json> InstallerStarts(std::size_t n) const {
    std::vector<json> starts;
    for (int i = 0; i < 300; ++i) {
      starts.clear();
      std::ifstream file(RecordPath());
      for (std::string line; std::getline(file, line);) starts.push_back(json::parse(line));
      if (starts.size() >= n) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return starts;
  }

  // The "firmwareUpdateProgress" entries received so far.
  std::vector<json> ProgressEntries() const {
    std::vector<json> entries;
    for (const testkit::MgmtMessage& message : server_.Messages()) {
      const json parsed = json::parse(message.data, nullptr, false);
      if (parsed.is_object() && parsed.value("type", "") == "firmwareUpdateProgress")
        entries.push_back(parsed["monitorList"][0]);
    }
    return entries;
  }

  static bool HasEntry(const std::vector<json>& entries, const std::string& serial, double status, int flag,
                       const std::string& content) {
    for (const json& entry : entries) {
      const json& info = entry["updateProcessInfo"];
      if (entry["serialNumber"] == serial && info["updateStatus"] == status && info["updateFlag"] == flag &&
          info["updateContent"] == content && info["userId"] == kUserId)
        return true;
    }
    return false;
  }

  KernelObjectFolder objects_;
  testkit::packages::PackageFolder packages_;
  testkit::MgmtServer server_;
};

TEST_F(AgentFirmwareTest, ASignedPackageIsInstalledWithTheCommandsOptionsAndItsProgressReachesTheServer) {
  const json monitors = {{{"index", 0}, {"serialNumber", "SN1"}}, {{"index", 1}, {"serialNumber", "SN2"}}};
  CommandUpdate(31, "fw-2.1.exe", "{}", monitors, 1, 4);

  const std::vector<json> starts = InstallerStarts(1);
  ASSERT_EQ(starts.size(), 1u) << machine_.Output(kService);
  EXPECT_EQ(starts[0]["arguments"], json({"-no_delay", "-console", "disconnect", "-sn", "SN1", "SN2"}));
  // The downloaded ".tmp" file, renamed, started by its quoted path.
  const std::string commandLine = starts[0]["commandLine"];
  EXPECT_EQ(commandLine.rfind("\"C:\\Windows\\Temp\\DLF", 0), 0u) << commandLine;
  EXPECT_TRUE(Has(commandLine, ".exe\" -no_delay -console disconnect -sn SN1 SN2")) << commandLine;

  ASSERT_TRUE(WaitForLogLine("Zun exit :8888:")) << machine_.Output(kService);
  ASSERT_TRUE(WaitForLogLine("Execution completed successfully.")) << machine_.Output(kService);
  ASSERT_TRUE(WaitForCount(server_, "firmwareUpdateProgress", 6)) << machine_.Output(kService);
  const std::vector<json> entries = ProgressEntries();
  for (const char* serial : {"SN1", "SN2"})
    for (double percent : {0.0, 50.0, 100.0}) EXPECT_TRUE(HasEntry(entries, serial, percent, 1, "")) << serial << " " << percent;
  EXPECT_EQ(server_.PackageRequests().size(), 1u);
}

TEST_F(AgentFirmwareTest, AnInstallerThatEndsWithAFailureCodeIsReportedAndTheNextUpdateRuns) {
  const json monitors = {{{"index", 0}, {"serialNumber", "SN7"}}};
  CommandUpdate(41, "fw-fail.exe",
                R"({"steps": [{"type": 1, "text": "SN7"}, {"type": 2, "text": "SN7", "value": 40},
                              {"type": 4, "text": "SN7", "value": 3}],
                    "exitCode": 3})",
                monitors, 0, 2);
  ASSERT_TRUE(WaitForLogLine("setup is fail:3:SN7")) << machine_.Output(kService);
  ASSERT_TRUE(WaitForCount(server_, "firmwareUpdateProgress", 2)) << machine_.Output(kService);
  std::vector<json> entries = ProgressEntries();
  EXPECT_TRUE(HasEntry(entries, "SN7", 40, 1, ""));
  EXPECT_TRUE(HasEntry(entries, "SN7", 0, 0, "3"));
  ASSERT_TRUE(WaitForLogLine("Execution completed successfully.")) << machine_.Output(kService);

  // The failed update ended with its installer: the next command is not held back.
  CommandUpdate(42, "fw-next.exe", "{}", monitors, 0, 3);
  const std::vector<json> starts = InstallerStarts(2);
  ASSERT_EQ(starts.size(), 2u) << machine_.Output(kService);
  EXPECT_EQ(starts[1]["arguments"], json({"-no_delay", "nosigal", "-sn", "SN7"}));
}

}  // namespace
