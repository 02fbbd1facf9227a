// A firmware command from its arrival to its installer's end, in the process, against the
// management-server double and with the installer double started as the package's installer.
#include "agent-windows/update/InstallationSequence.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/server/CommandHandler.h"
#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "agent-windows/update/PackageTestDrive.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/installer/InstallerScript.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/packages/PackageFolder.h"

namespace {

using nlohmann::json;

constexpr std::int32_t kUserId = 77;

// Sets an environment variable while alive.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
    if (const char* previous = std::getenv(name)) m_previous = previous;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (m_previous)
      setenv(m_name, m_previous->c_str(), 1);
    else
      unsetenv(m_name);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* m_name;
  std::optional<std::string> m_previous;
};

// Polls a state that another thread or process brings about; false when it never comes.
bool WaitUntil(const std::function<bool()>& reached) {
  for (int i = 0; i < 600; ++i) {
    if (reached()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return reached();
}

class InstallationSequenceTest : public ::testing::Test {
 protected:
  InstallationSequenceTest()
      : m_runner("TARVIK_WIN32_PE_RUNNER", INSTALLER_PROGRAM),
        m_record("TARVIK_INSTALLER_RECORD", m_drive.Path("installer-starts.jsonl")) {}

  void SetUp() override {
    g_bIsUpdating.store(false);
    g_bIsInstall.store(false);
    WebSocketMgr::GetInstance()->ClearSendQueue();
    WebSocketMgr::GetInstance()->SetPackageUrl("https://127.0.0.1:" + std::to_string(m_server.Port()) +
                                               "/tarvik/model/package/getModelPackageByModelName?filename=");
  }
  void TearDown() override {
    // The worker of a failed test may still wait for its installer.
    EXPECT_TRUE(WaitUntil([] { return !g_bIsUpdating.load(); }));
    WebSocketMgr::GetInstance()->ClearSendQueue();
  }

  // A firmware command for the serial numbers; its first entry carries the package's details.
  static std::string Command(int cmdid, const std::string& package, std::size_t size, int silentFlag, int updateType,
                             const std::vector<std::string>& serials) {
    json command = {{"cmdid", cmdid}, {"type", "firmwareUpdateCommand"}, {"monitorList", json::array()}};
    for (const std::string& serial : serials) command["monitorList"].push_back({{"serialNumber", serial}});
    command["monitorList"][0]["index"] = 0;
    command["monitorList"][0]["updatePackageInfo"] = {
        {"packageUrl", package}, {"packageSize", size},         {"silentFlag", silentFlag},
        {"updateType", updateType}, {"userId", kUserId}, {"updateTime", 0}};
    return command.dump();
  }

  std::string InstallerImage(const std::string& script) const {
    return m_packages.SignedImage(testkit::packages::Signer::Quelmo, testkit::InstallerScriptPayload(script));
  }

  static std::vector<std::string> Queued() {
    std::vector<std::string> texts;
    for (const SendItem& item : WebSocketMgr::GetInstance()->QueuedMessages()) texts.push_back(item.msg);
    return texts;
  }
  static std::string Response(int cmdid, const char* status) {
    return R"({"cmdid":)" + std::to_string(cmdid) + R"(,"status":")" + status + R"(","type":"response"})";
  }

  // Every installer start so far, as the installer double recorded it.
  std::vector<json> InstallerStarts() const {
    std::vector<json> starts;
    std::ifstream file(m_drive.Path("installer-starts.jsonl"));
    for (std::string line; std::getline(file, line);) starts.push_back(json::parse(line));
    return starts;
  }

  std::size_t LinesLogged(const std::string& text) const {
    std::size_t count = 0;
    for (const testkit::LogLine& line : m_log.Lines()) count += line.text == text ? 1 : 0;
    return count;
  }

  update_test::PackageTestDrive m_drive;
  testkit::packages::PackageFolder m_packages;
  ScopedEnvironment m_runner;
  ScopedEnvironment m_record;
  testkit::MgmtServer m_server{testkit::MgmtServerOptions{true, 0}};
  testkit::FakeClock m_clock;
  testkit::LogCapture m_log;
};

TEST_F(InstallationSequenceTest, APackageOneByteShortFailsThreeTimesAndIsAnsweredDownFileFail) {
  const std::string image = InstallerImage("{}");
  m_server.ServePackage("fw.exe", image.substr(0, image.size() - 1));
  ParseControlCmd(Command(31, "fw.exe", image.size(), 0, 2, {"SN1"}));

  EXPECT_EQ(m_server.PackageRequests().size(), 3u);
  EXPECT_EQ(LinesLogged("Download failed."), 3u);
  EXPECT_EQ(LinesLogged("Download Over."), 0u);
  EXPECT_EQ(Queued(), (std::vector<std::string>{Response(31, "ok"), Response(31, "downFileFail")}));
  EXPECT_FALSE(g_bIsUpdating.load());
  EXPECT_TRUE(InstallerStarts().empty());
  for (const std::string& file : m_drive.Files()) EXPECT_NE(file.rfind("Windows/Temp/", 0), 0u) << file;
}

TEST_F(InstallationSequenceTest, ASuccessfulSequenceLogsItsStepsInOrderAndFetchesAUrlWithoutSchemeOverTls) {
  // Settings without a "Protocol": the URL begins "://" and gets "http" in front of it.
  const std::string target = "/tarvik/model/package/getModelPackageByModelName?filename=fw.exe";
  const std::string packageUrl = "://127.0.0.1:" + std::to_string(m_server.Port()) +
                                 "/tarvik/model/package/getModelPackageByModelName?filename=";
  WebSocketMgr::GetInstance()->SetPackageUrl(packageUrl);
  const std::string url = packageUrl + "fw.exe";
  const std::string image = InstallerImage(R"({"steps":[]})");
  m_server.ServePackage("fw.exe", image);
  ParseControlCmd(Command(51, "fw.exe", image.size(), 1, 2, {"SN1"}));
  ASSERT_TRUE(WaitUntil([] { return !g_bIsUpdating.load(); }));
  EXPECT_EQ(m_server.PackageRequests(), std::vector<std::string>{target});

  using spdlog::level::err;
  using spdlog::level::info;
  const std::vector<testkit::LogLine> lines = m_log.Lines();
  const auto start = std::find(lines.begin(), lines.end(), testkit::LogLine{err, "Download Start: " + url});
  ASSERT_GE(lines.end() - start, 8);
  const std::string download = start[3].text;
  ASSERT_EQ(download.rfind("C:\\Windows\\Temp\\DLF", 0), 0u) << download;
  ASSERT_EQ(download.substr(download.size() - 4), ".tmp");
  const std::string exe = download.substr(0, download.size() - 3) + "exe";
  const std::vector<testkit::LogLine> sequence = {
      {err, "Download Start: " + url},
      {info, "Download completed."},
      {info, "Download Over."},
      {info, download},
      {err, "exename == tmp"},
      {err, exe},
      {info, "StartProcessAsSystem Start."},
      {info, "StartProcessAsSystem exePath=" + exe + ", Param=-no_delay -console -sn SN1."},
  };
  EXPECT_EQ(std::vector<testkit::LogLine>(start, start + 8), sequence);
  // The worker's lines may come before the sequence's last one.
  EXPECT_NE(std::find(start + 8, lines.end(), testkit::LogLine{info, "StartProcessAsSystem OVER."}), lines.end());
  const auto worker = std::find(start + 8, lines.end(), testkit::LogLine{info, "MyAsyncFunction   "});
  EXPECT_NE(std::find(worker, lines.end(), testkit::LogLine{info, "Execution completed successfully."}), lines.end());
}

TEST_F(InstallationSequenceTest, TheInstallerStartsWithItsArgumentsAndACommandMeanwhileWaitsForItsEnd) {
  // The first installer runs until the second command has been handled.
  const std::string release = m_drive.Path("release-first-installer");
  const std::string first = InstallerImage(R"({"steps":[{"waitForFile":")" + release + R"("}]})");
  const std::string second = InstallerImage(R"({"steps":[]})");
  m_server.ServePackage("first.exe", first);
  m_server.ServePackage("second.exe", second);

  ParseControlCmd(Command(41, "first.exe", first.size(), 1, 4, {"SN1", "SN2"}));
  ASSERT_TRUE(WaitUntil([this] { return InstallerStarts().size() == 1; }));
  EXPECT_TRUE(g_bIsUpdating.load());
  EXPECT_EQ(g_nUserId.load(), kUserId);

  ParseControlCmd(Command(42, "second.exe", second.size(), 0, 3, {"SN3"}));
  EXPECT_EQ(Queued(), (std::vector<std::string>{Response(41, "ok"), Response(42, "ok")}));
  EXPECT_EQ(m_server.PackageRequests().size(), 1u);
  std::ofstream(release).put('\n');

  ASSERT_TRUE(WaitUntil([this] { return LinesLogged("Execution completed successfully.") == 2; }));
  ASSERT_TRUE(WaitUntil([] { return !g_bIsUpdating.load(); }));
  EXPECT_EQ(Queued(), (std::vector<std::string>{Response(41, "ok"), Response(42, "ok"), Response(42, "ok")}));

  const std::vector<json> starts = InstallerStarts();
  ASSERT_EQ(starts.size(), 2u);
  const std::vector<std::vector<std::string>> arguments = {{"-no_delay", "-console", "disconnect", "-sn", "SN1", "SN2"},
                                                           {"-no_delay", "nosigal", "-sn", "SN3"}};
  for (std::size_t i = 0; i < starts.size(); ++i) {
    SCOPED_TRACE(starts[i].dump());
    EXPECT_EQ(starts[i]["arguments"].get<std::vector<std::string>>(), arguments[i]);
    // The download renamed to an executable, started by its quoted path.
    const std::string image = starts[i]["image"].get<std::string>();
    EXPECT_EQ(image.rfind(m_drive.Path("Windows/Temp/DLF"), 0), 0u);
    EXPECT_EQ(image.substr(image.size() - 4), ".exe");
    const std::string commandLine = starts[i]["commandLine"].get<std::string>();
    EXPECT_EQ(commandLine.rfind("\"C:\\Windows\\Temp\\DLF", 0), 0u);
    EXPECT_NE(commandLine.find(".exe\" -no_delay"), std::string::npos);
    std::string parameters;
    for (const std::string& argument : arguments[i]) parameters += (parameters.empty() ? "" : " ") + argument;
    const std::string exePath = commandLine.substr(1, commandLine.find('"', 1) - 1);
    EXPECT_EQ(LinesLogged("StartProcessAsSystem exePath=" + exePath + ", Param=" + parameters + "."), 1u);
  }
}

}  // namespace
