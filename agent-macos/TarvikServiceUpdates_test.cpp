// TarvikService updating a monitor: the package from the management server, the installer started
// from it with the command's arguments, its progress relayed both ways, nothing left afterwards.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/testing/InstallerScripts.h"
#include "agent-macos/testing/PackageTestFolder.h"
#include "agent-macos/testing/ServiceProgramTest.h"
#include "testkit/packages/MacPackages.h"

using nlohmann::json;
using namespace agentmactest;
using namespace std::chrono_literals;

namespace {

class TarvikServiceUpdatesTest : public ServiceProgramTest {
 protected:
  void SetUp() override {
    ServiceProgramTest::SetUp();
    std::filesystem::create_directories(folder_ / "tmp");
    WriteProfile(server_, "http", "tarvik");
    Start({{"TMPDIR", (folder_ / "tmp").string()}, {"TARVIK_INSTALLER_RECORD", record().string()}});
    ASSERT_TRUE(server_.WaitForUpgrades(1)) << agent_->Output();
  }

  std::filesystem::path record() const { return folder_ / "starts.jsonl"; }
  // What the agent keeps in its own temporary folder.
  std::filesystem::path agentTemporary() const {
    return folder_ / "tmp" / ("TarvikService-" + std::to_string(::getuid()));
  }

  // The progress message with these values; null at the time limit.
  json Progress(int status, int flag, const std::string& content) const {
    return WaitForType(server_, "firmwareUpdateProgress", 0, 30s, [&](const json& m) {
      const json& process = m["monitorList"][0]["updateProcessInfo"];
      return process["updateStatus"] == status && process["updateFlag"] == flag && process["updateContent"] == content;
    });
  }

  testkit::MgmtServer server_;
};

TEST_F(TarvikServiceUpdatesTest, AFirmwareCommandStartsTheInstallerRelaysItsProgressAndCleansUp) {
  const json script = OneReportEachWayScript();
  server_.ServePackage("pkg_v2.zip", testkit::packages::MacInstallerZip(testkit::packages::MacPackageKind::Bundle,
                                                                        MAC_INSTALLER_PROGRAM, script.dump()));
  ASSERT_TRUE(server_.SendText(R"({"type": "firmwareUpdateCommand", "monitorList": [{"serialNumber": "A1",
      "updatePackageInfo": {"packageUrl": "pkg_v2.zip", "updateType": 1, "updateTime": 900, "userId": 5}}]})"));

  const json notified = Progress(50, 1, "installing");
  ASSERT_FALSE(notified.is_null()) << agent_->Output();
  EXPECT_EQ(notified["monitorList"][0]["serialNumber"], "A1");
  EXPECT_EQ(notified["monitorList"][0]["updateProcessInfo"]["userId"], 5);
  const json polled = Progress(100, 2, "done");
  ASSERT_FALSE(polled.is_null()) << agent_->Output();
  EXPECT_EQ(polled["monitorList"][0]["updateProcessInfo"]["userId"], 5);
  EXPECT_EQ(server_.PackageRequests(),
            std::vector<std::string>{"/tarvik/model/package/getModelPackageByModelName?filename=pkg_v2.zip"});

  const json start = json::parse(packagetest::readFile(record()));
  EXPECT_EQ(start["arguments"], json::array({"-no_delay", "-set_task_time", "900", "-sn", "A1"}));
  const std::string program = start["program"];
  EXPECT_TRUE(program.starts_with((agentTemporary() / "TarvikZipUnpack_").string())) << program;
  EXPECT_TRUE(program.ends_with("/Installer.app/Contents/MacOS/Installer")) << program;
  ASSERT_TRUE(agent_->WaitForOutput("[Info] App finished, cleaning up...\n")) << agent_->Output();
  EXPECT_NE(agent_->Output().find("[Info] A1 - update progress \xEF\xBC\x9A" "50% - state: 1 - context: installing\n"),
            std::string::npos)
      << agent_->Output();
  // The line comes before the removal.
  EXPECT_TRUE(packagetest::eventually([&] { return std::filesystem::is_empty(agentTemporary()); }))
      << packagetest::folderContents(agentTemporary());
  ExpectStopsOn(SIGTERM);
}

}  // namespace
