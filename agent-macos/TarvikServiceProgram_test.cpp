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

#include "agent-macos/testing/ServiceProgramTest.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace agentmactest;
using namespace std::chrono_literals;

namespace {

using TarvikServiceProgramTest = ServiceProgramTest;

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
