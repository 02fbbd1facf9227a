// TarvikService the way it runs: a process started from its own folder beside its profile (or
// configured by managed preferences), against the management server double on loopback.
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/testing/AgentProcess.h"
#include "agent-macos/testing/Plist.h"
#include "testkit/mgmt-server/MgmtServer.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace agentmactest;
using namespace std::chrono_literals;

namespace {

constexpr const char* kComputerName = "Quelmo Test Mac";

class TarvikServiceProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/tarvik-agent-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    fs::create_directories(folder_ / "program");
    fs::create_directories(folder_ / "mac");
  }
  void TearDown() override {
    agent_.reset();
    fs::remove_all(folder_);
  }

  void WriteProfile(const testkit::MgmtServer& server, const std::string& protocol, const std::string& folder,
                    const std::string& host = "127.0.0.1") const {
    const std::string text = MobileConfig({{"Server", PlistString(host)},
                                           {"Port", PlistString(std::to_string(server.Port()))},
                                           {"Protocol", PlistString(protocol)},
                                           {"Folder", PlistString(folder)}});
    std::ofstream(folder_ / "program/profile.partial") << text;
    fs::rename(folder_ / "program/profile.partial", folder_ / "program/TarvikConfig.mobileconfig");
  }
  void WriteManaged(const std::vector<std::pair<std::string, std::string>>& members) const {
    const fs::path file = folder_ / "mac/Library/Managed Preferences/com.quelmo.tarvik.plist";
    fs::create_directories(file.parent_path());
    std::ofstream(file) << XmlPlist(PlistDict(members));
  }
  void Start() {
    agent_ = std::make_unique<AgentProcess>(TARVIK_SERVICE, (folder_ / "program").string(),
                                            std::vector<std::pair<std::string, std::string>>{
                                                {"TARVIK_MAC_ROOT", (folder_ / "mac").string()},
                                                {"TARVIK_MAC_COMPUTER_NAME", kComputerName}});
  }

  // The first message of this type from message `first` on; null at the time limit.
  static json WaitForType(const testkit::MgmtServer& server, const std::string& type, std::size_t first = 0,
                          std::chrono::seconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      for (const testkit::MgmtMessage& m : server.MessagesSince(first)) {
        json message = json::parse(m.data, nullptr, false);
        if (message.is_object() && message.value("type", "") == type) return message;
      }
      std::this_thread::sleep_for(50ms);
    }
    return nullptr;
  }

  // Stopped by the signal: both lines in order, exit status 0, no sanitizer report.
  void ExpectStopsOn(int signal) {
    const std::size_t before = agent_->Output().size();
    agent_->Signal(signal);
    const std::optional<int> status = agent_->WaitForExit(30s);
    const std::string output = agent_->Output();
    ASSERT_EQ(status, 0) << output;
    const std::size_t stopped = output.find("[Info] Service stopped.\n", before);
    ASSERT_NE(stopped, std::string::npos) << output;
    EXPECT_NE(output.find("[Info] Service stopped over...\n", stopped), std::string::npos) << output;
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
    EXPECT_EQ(output.find("runtime error"), std::string::npos) << output;
  }

  fs::path folder_;
  std::unique_ptr<AgentProcess> agent_;
};

TEST_F(TarvikServiceProgramTest, KeepsItsConnectionReportsAnswersAndFollowsItsProfile) {
  testkit::MgmtServer server;
  WriteProfile(server, "http", "fleet");
  Start();

  ASSERT_TRUE(server.WaitForUpgrades(1)) << agent_->Output();
  EXPECT_EQ(server.Upgrades()[0].path, "/fleet/ws");
  EXPECT_EQ(server.Upgrades()[0].headers.at("sn"), kComputerName);
  const json report = WaitForType(server, "displayStatusReport");
  EXPECT_EQ(report, json({{"hostName", kComputerName}, {"type", "displayStatusReport"}, {"monitorList", json::array()}}));

  // Reports every 10 s: the next one comes after a wait, not at once.
  const auto firstReport = std::chrono::steady_clock::now();
  const std::size_t afterFirst = server.Messages().size();
  ASSERT_FALSE(WaitForType(server, "displayStatusReport", afterFirst).is_null());
  EXPECT_GT(std::chrono::steady_clock::now() - firstReport, 5s);

  const std::size_t beforeCommand = server.Messages().size();
  ASSERT_TRUE(server.SendText(R"({"cmdid": 7, "type": "notAKind"})"));
  EXPECT_EQ(WaitForType(server, "response", beforeCommand), json::parse(R"({"cmdid": 7, "type": "response", "status": "ok"})"));
  EXPECT_TRUE(agent_->WaitForOutput("[Info] Received text: {\"cmdid\": 7, \"type\": \"notAKind\"}\n"));

  // A drop is mended by the next pass of the monitor loop.
  server.DropConnections();
  ASSERT_TRUE(server.WaitForUpgrades(2, 15s)) << agent_->Output();

  // Another server in the profile (a port alone would wait for a new server): the first
  // connection is closed as going away.
  testkit::MgmtServer second;
  WriteProfile(second, "http", "other", "localhost");
  ASSERT_TRUE(second.WaitForUpgrades(1, 15s)) << agent_->Output();
  EXPECT_EQ(second.Upgrades()[0].path, "/other/ws");
  ASSERT_TRUE(server.WaitForCloseCodes(1, 10s));
  EXPECT_EQ(server.CloseCodes(), std::vector<std::uint16_t>{1001});

  // The stop says goodbye the same way.
  ExpectStopsOn(SIGTERM);
  ASSERT_TRUE(second.WaitForCloseCodes(1, 10s));
  EXPECT_EQ(second.CloseCodes(), std::vector<std::uint16_t>{1001});
}

TEST_F(TarvikServiceProgramTest, ConnectsOverTlsToAServerWithASelfSignedCertificate) {
  testkit::MgmtServer server({.tls = true});
  WriteProfile(server, "HTTPS", "tarvik");
  Start();
  ASSERT_TRUE(server.WaitForUpgrades(1)) << agent_->Output();
  EXPECT_EQ(server.Upgrades()[0].path, "/tarvik/ws");
  EXPECT_GE(server.TlsHandshakes(), 1u);
  EXPECT_FALSE(WaitForType(server, "displayStatusReport").is_null());
  ExpectStopsOn(SIGINT);
}

TEST_F(TarvikServiceProgramTest, WithoutAProfileTheManagedPreferencesNameTheServer) {
  testkit::MgmtServer server;
  WriteManaged({{"Server", PlistString("127.0.0.1")},
                {"Port", PlistString(std::to_string(server.Port()))},
                {"Protocol", PlistString("http")}});
  Start();
  ASSERT_TRUE(server.WaitForUpgrades(1)) << agent_->Output();
  EXPECT_EQ(server.Upgrades()[0].path, "/tarvik/ws");
  EXPECT_TRUE(agent_->WaitForOutput("[Info] MDM 配置的服务器地址: 127.0.0.1\n"));
  EXPECT_NE(agent_->Output().find("[Info] TarvikConfig.mobileconfig not found in expected paths: [\"./TarvikConfig.mobileconfig\", \""),
            std::string::npos)
      << agent_->Output();
  ExpectStopsOn(SIGTERM);
}

TEST_F(TarvikServiceProgramTest, UnconfiguredItStopsOnceWhateverTheSignalsThatFollow) {
  Start();
  ASSERT_TRUE(agent_->WaitForOutput("[Info] Service started over...\n"));
  ASSERT_TRUE(agent_->WaitForOutput("Connecting to WebSocket at unknown URL..."));
  agent_->Signal(SIGTERM);
  ASSERT_TRUE(agent_->WaitForOutput("[Info] Service stopped.\n"));
  agent_->Signal(SIGINT);
  agent_->Signal(SIGTERM);
  ASSERT_EQ(agent_->WaitForExit(30s), 0) << agent_->Output();
  const std::string output = agent_->Output();
  EXPECT_EQ(output.find("[Info] Service stopped.\n"), output.rfind("[Info] Service stopped.\n")) << output;
  EXPECT_NE(output.find("[Info] Service stopped over...\n"), std::string::npos) << output;
}

TEST_F(TarvikServiceProgramTest, AHostileServerDoesNotStopIt) {
  testkit::MgmtServer server;
  WriteProfile(server, "http", "tarvik");
  Start();
  ASSERT_TRUE(server.WaitForUpgrades(1)) << agent_->Output();
  const std::vector<std::string> hostile = {
      "{\"type\": ",
      "not json at all",
      "{\"a\":" + std::string(300000, '[') + std::string(300000, ']') + "}",
      std::string(300000, '['),
      R"({"cmdid": "x", "type": 5})",
      R"({"cmdid": 18446744073709551615, "type": "RefreshAllStatus"})",
      R"({"type": "displayCommand", "monitorList": [{"serialNumber": 1, "funcList": "x"}, {}, 5]})",
      R"({"type": "advDispCommand", "monitorList": [{"serialNumber": "A1", "funcList": [[16], ["x"], {}]}]})",
      R"({"type": "firmwareUpdateCommand", "monitorList": [{"updatePackageInfo": {"updateType": 1e300,
          "updateTime": -1.5, "userId": 1e30, "silentFlag": null, "packageUrl": ["x"]}}]})",
      R"([1, 2, 3])",
      "\"text\"",
  };
  std::size_t before = server.Messages().size();
  for (const std::string& text : hostile) ASSERT_TRUE(server.SendText(text));
  ASSERT_TRUE(server.SendBinary(std::string("\x00\xff\xfe{", 4)));
  ASSERT_TRUE(server.SendText(R"({"cmdid": 99, "type": "reportResponseOk"})"));
  ASSERT_FALSE(WaitForType(server, "response", before).is_null()) << agent_->Output();
  // Nothing hostile was answered: the one response is the last message's.
  std::vector<json> responses;
  for (const testkit::MgmtMessage& m : server.MessagesSince(before)) {
    json message = json::parse(m.data);
    if (message["type"] == "response") responses.push_back(message);
  }
  EXPECT_EQ(responses, std::vector<json>{json::parse(R"({"cmdid": 99, "type": "response", "status": "ok"})")});

  // A text above the size the agent takes ends that connection, and the agent connects again.
  ASSERT_TRUE(server.SendText("{\"pad\": \"" + std::string(5 * 1024 * 1024, 'x') + "\"}"));
  ASSERT_TRUE(server.WaitForUpgrades(2, 20s)) << agent_->Output();
  before = server.Messages().size();
  ASSERT_TRUE(server.SendText(R"({"cmdid": 100, "type": "reportResponseOk"})"));
  EXPECT_EQ(WaitForType(server, "response", before), json::parse(R"({"cmdid": 100, "type": "response", "status": "ok"})"));
  ExpectStopsOn(SIGTERM);
}

}  // namespace
