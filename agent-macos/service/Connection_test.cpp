// The agent's connection and its handling of the server's messages, against the management
// server double on loopback.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/messages/MessageJsonHelper.h"
#include "agent-macos/monitors/MonitorFuncHelper.h"
#include "agent-macos/service/ServiceWithServerTest.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/testing/MacRoot.h"
#include "agent-macos/testing/PackageTestFolder.h"
#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/packages/Zip.h"

using nlohmann::json;
using namespace agentmactest;

namespace {

using ConnectionTest = ServiceWithServerTest;

TEST_F(ConnectionTest, UpgradesOnTheFolderPathWithTheComputerNameOverPlainAndTls) {
  for (bool tls : {false, true}) {
    testkit::MgmtServer server({.tls = tls});
    PointAt(service_, server, tls);
    LogMark mark;
    service_.connectWebSocket();
    EXPECT_TRUE(service_.isConnected);
    ASSERT_TRUE(server.WaitForUpgrades(1));
    EXPECT_EQ(server.Upgrades()[0].path, "/fleet/ws");
    EXPECT_EQ(server.Upgrades()[0].headers.at("sn"), "Test Mac");
    const std::string url = std::string(tls ? "wss" : "ws") + "://127.0.0.1:" + std::to_string(server.Port()) + "/fleet/ws";
    EXPECT_NE(mark.Since().find("[Info] Connecting to WebSocket at " + url + "...\n[Info] WebSocket connected.\n"),
              std::string::npos)
        << mark.Since();
    EXPECT_EQ(MonitorFuncHelper::shared().lastDisplayCount, 999);

    service_.disconnectWebSocket();
    EXPECT_FALSE(service_.isConnected);
    ASSERT_TRUE(mark.WaitFor("[Info] Failed to receive message: "));
    EXPECT_NE(mark.Since().find("[Info] WebSocket connection closed by disconnectWebSocket().\n"), std::string::npos);
    ASSERT_TRUE(server.WaitForCloseCodes(1, std::chrono::seconds(10)));
    EXPECT_EQ(server.CloseCodes(), std::vector<std::uint16_t>{1001});
  }
}

TEST_F(ConnectionTest, NothingToSendOrCloseWithoutAConnection) {
  LogMark mark;
  service_.sendMessage(json{{"type", "x"}});
  service_.disconnectWebSocket();
  EXPECT_EQ(mark.Since(), "[Info] WebSocket is not connected.\n[Info] WebSocket is already disconnected.\n");
}

TEST_F(ConnectionTest, AnAddressThatIsNoUrlOpensNothing) {
  for (auto [host, port] : {std::pair{"bad host", 443LL}, std::pair{"127.0.0.1", 65536LL}, std::pair{"", 443LL}}) {
    {
      std::lock_guard lock(service_.settingsLock);
      service_.Host = host;
    }
    service_.Port = port;
    LogMark mark;
    service_.connectWebSocket();
    EXPECT_FALSE(service_.isConnected) << host << ":" << port;
    EXPECT_EQ(service_.webSocketTask, nullptr);
    EXPECT_EQ(mark.Since(), "[Info] Connecting to WebSocket at unknown URL...\n");
  }
}

TEST_F(ConnectionTest, EveryCmdidIsAnsweredFirstAndEveryTypeHandled) {
  testkit::MgmtServer server;
  Connect(server);
  struct Case {
    std::string text;
    std::vector<std::string> sent;  // what the server receives in answer
    std::string logged;             // a line of the log that must follow
  };
  const Case cases[] = {
      {R"({"cmdid": 7, "type": "somethingNew"})", {R"({"cmdid":7,"type":"response","status":"ok"})"},
       "[Info] Received text: {\"cmdid\": 7, \"type\": \"somethingNew\"}\n"},
      {R"({"type": 5})", {}, "[Info] Received text: {\"type\": 5}\n"},
      {R"({"cmdid": 8, "type": "reportResponseOk"})", {R"({"cmdid":8,"type":"response","status":"ok"})"}, ""},
      {R"({"cmdid": 9, "type": "displayCommand", "monitorList": [{"serialNumber": "Z9", "funcList": [[16, 50]]}]})",
       {R"({"cmdid":9,"type":"response","status":"ok"})"},
       "[Warn] No updater found for SN: Z9\n"},
      {R"({"type": "advDispCommand", "monitorList": {}})", {}, "[Warn] Invalid monitorList\n"},
      {R"({"type": "firmwareUpdateCommand", "monitorList": "x"})", {}, "[Info] Invalid monitorList\n"},
      {R"({"cmdid": "7", "type": "somethingNew"})", {}, "[Warn] Message dropped: its \"cmdid\" is not an integer.\n"},
      {R"({"cmdid": 7.5, "type": "RefreshAllStatus"})", {}, "[Warn] Message dropped: its \"cmdid\" is not an integer.\n"},
      {"{\"type\": \"displayCommand\"", {}, "[Info] Failed to parse JSON string.\n"},
  };
  int ping = 1000;
  for (const Case& c : cases) {
    const std::size_t before = server.Messages().size();
    LogMark mark;
    ASSERT_TRUE(server.SendText(c.text));
    // The answer to a message that follows shows this one has been handled.
    const json pinged = MessageJsonHelper::makeResponse(++ping, ResponseStatus::ok);
    ASSERT_TRUE(server.SendText(R"({"type": "reportResponseOk", "cmdid": )" + std::to_string(ping) + "}"));
    ASSERT_TRUE(server.WaitForMessageContaining("\"cmdid\":" + std::to_string(ping) + ","));
    std::vector<json> expected;
    for (const std::string& s : c.sent) expected.push_back(json::parse(s));
    expected.push_back(pinged);
    EXPECT_EQ(Received(server, before), expected) << c.text;
    if (!c.logged.empty()) {
      EXPECT_NE(mark.Since().find(c.logged), std::string::npos) << c.text << "\n" << mark.Since();
    }
  }
}

TEST_F(ConnectionTest, RefreshAllRestartsTheTenRefreshes) {
  testkit::MgmtServer server;
  Connect(server);
  service_.nUSBDeviceChangedCount = 0;
  MonitorFuncHelper::shared().lastDisplayCount = 2;
  LogMark mark;
  ASSERT_TRUE(server.SendText(R"({"type": "RefreshAllStatus"})"));
  ASSERT_TRUE(server.SendText(R"({"cmdid": 1, "type": "other"})"));
  ASSERT_TRUE(mark.WaitFor("Received text: "));
  EXPECT_EQ(service_.nUSBDeviceChangedCount, 10);
  EXPECT_EQ(MonitorFuncHelper::shared().lastDisplayCount, 999);
}

TEST_F(ConnectionTest, FirmwareEntriesEachStartAnInstallerWithTheirArgumentsAndTheLastUserIdStays) {
  const packagetest::PackageTestFolder folder;
  const std::filesystem::path record = folder.out() / "starts.txt";
  // Entries without a package name ask for an empty one: served too, so every start shows.
  const std::string package = testkit::packages::MakeZip(
      {{"Installer.app/Contents/MacOS/Installer", packagetest::shellScript("echo \"$@\" >> '" + record.string() + "'"),
        0100755}});
  testkit::MgmtServer server;
  server.ServePackage("p.zip", package);
  server.ServePackage("", package);
  Connect(server);
  LogMark mark;
  ASSERT_TRUE(server.SendText(R"({"type": "firmwareUpdateCommand", "monitorList": [
      {"serialNumber": "A1", "updatePackageInfo": {"packageUrl": "p.zip", "silentFlag": 1, "updateType": 1,
                                                   "updateTime": 1767225600, "userId": 5}},
      {"serialNumber": "B2", "updatePackageInfo": "none"},
      {"serialNumber": "C3", "updatePackageInfo": {"packageUrl": "p.zip", "updateType": "4", "userId": "6"}},
      {"serialNumber": 4, "updatePackageInfo": {"updateType": 3, "silentFlag": true, "userId": 7}},
      {"serialNumber": "D4", "updatePackageInfo": {"packageUrl": "my pkg.zip", "userId": 8}},
      {"updatePackageInfo": {"updateType": 4, "updateTime": 9}},
      {"serialNumber": "E5", "updatePackageInfo": {"updateType": 1}}]})"));
  // Five downloads: the name with a blank makes no URL, so its entry is dropped without a line.
  ASSERT_TRUE(packagetest::eventually([&] {
    const std::string text = packagetest::readFile(record);
    return std::count(text.begin(), text.end(), '\n') == 5;
  }));
  std::vector<std::string> starts;
  std::istringstream lines(packagetest::readFile(record));
  for (std::string line; std::getline(lines, line);) starts.push_back(line);
  std::sort(starts.begin(), starts.end());
  EXPECT_EQ(starts, (std::vector<std::string>{"-no_delay -console -set_task_time 1767225600 -sn A1",
                                              "-no_delay -set_task_time 0 -sn E5", "-no_delay -sn C3",
                                              "-no_delay disconnect -sn ", "-no_delay nosigal -sn "}));
  const std::string target = "/fleet/model/package/getModelPackageByModelName?filename=";
  std::vector<std::string> requests = server.PackageRequests();
  std::sort(requests.begin(), requests.end());
  EXPECT_EQ(requests, (std::vector<std::string>{target, target, target, target + "p.zip", target + "p.zip"}));
  // The entries' own lines, in order, among the downloads' lines.
  const std::string log = mark.Since();
  std::size_t at = 0;
  for (const char* line : {"[Info] Invalid updatePackageInfo\n", "[Info] userId is not an Int\n",
                           "[Info] userId is not an Int\n", "[Info] userId is not an Int\n"}) {
    at = log.find(line, at);
    ASSERT_NE(at, std::string::npos) << log;
    ++at;
  }
  EXPECT_EQ(service_.m_sUserId, 8);
  ASSERT_TRUE(packagetest::eventually([&] {
    const std::string text = mark.Since();
    std::size_t finished = 0;
    for (std::size_t p = text.find("App finished, cleaning up..."); p != std::string::npos;
         p = text.find("App finished, cleaning up...", p + 1))
      ++finished;
    return finished == 5;
  }));
}

TEST_F(ConnectionTest, PackageURLFollowsTheConnectionsSettings) {
  service_.Host = "h";
  service_.Port = 8443;
  service_.isSSL = true;
  service_.Folder = "tarvik";
  const std::optional<ServerURL> url = service_.packageURL("pkg_v2.zip");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->text, "https://h:8443/tarvik/model/package/getModelPackageByModelName?filename=pkg_v2.zip");
  EXPECT_TRUE(url->secure);
  EXPECT_EQ(url->target, "/tarvik/model/package/getModelPackageByModelName?filename=pkg_v2.zip");
  service_.isSSL = false;
  service_.Folder = "";
  EXPECT_EQ(service_.packageURL("p.zip").value().text,
            "http://h:8443//model/package/getModelPackageByModelName?filename=p.zip");
  EXPECT_FALSE(service_.packageURL("a b.zip").has_value());
}

TEST_F(ConnectionTest, ADataMessageIsLoggedAndNeverActedOn) {
  testkit::MgmtServer server;
  Connect(server);
  LogMark mark;
  ASSERT_TRUE(server.SendBinary(R"({"cmdid": 3, "type": "RefreshAllStatus"})"));
  ASSERT_TRUE(server.SendBinary("\x01\x02"));
  ASSERT_TRUE(server.SendBinary("5"));
  ASSERT_TRUE(server.SendText(R"({"cmdid": 4, "type": "other"})"));
  ASSERT_TRUE(mark.WaitFor("Received text: "));
  EXPECT_NE(mark.Since().find("[Info] Received JSON: {\"cmdid\":3,\"type\":\"RefreshAllStatus\"}\n"
                              "[Info] Failed to decode received data.\n"
                              "[Info] Failed to decode received data.\n"),
            std::string::npos)
      << mark.Since();
  EXPECT_EQ(server.Messages().size(), 1u);  // the answer to cmdid 4 only
}

TEST_F(ConnectionTest, AReplacedConnectionsLateFailureLeavesTheNewOneConnected) {
  testkit::MgmtServer first, second;
  Connect(first);
  // A connect over a task still open (a settings command may have just cleared the flag)
  // cancels it, and its failure arrives when the new one already runs.
  LogMark mark;
  Connect(second);
  ASSERT_TRUE(mark.WaitFor("[Info] Failed to receive message: cancelled\n"));
  EXPECT_TRUE(service_.isConnected);
  ASSERT_TRUE(first.WaitForCloseCodes(1, std::chrono::seconds(10)));
  EXPECT_EQ(first.CloseCodes(), std::vector<std::uint16_t>{1001});

  // Its own drop clears it.
  LogMark afterDrop;
  second.DropConnections();
  ASSERT_TRUE(afterDrop.WaitFor("Failed to receive message: "));
  EXPECT_FALSE(service_.isConnected);
}

}  // namespace
