// The manager's connection against a live management server: the upgrade it makes, what a
// failed attempt keeps, how the server's texts reach the handler, and reconnects under load.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/server/UpgradeRequest.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/text/ComputerName.h"
#include "testkit/clock/ScaledClock.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/mgmt-server/MgmtServer.h"

namespace {

using namespace std::chrono_literals;

// The texts the manager hands to its handler.
class HandledTexts {
 public:
  WebSocketMgr::MessageHandler Handler() {
    return [this](const std::string& text) {
      std::lock_guard lock(m_mutex);
      m_texts.push_back(text);
    };
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
  }
  bool WaitFor(size_t count) const {
    for (int i = 0; i < 2000 && Texts().size() < count; ++i) std::this_thread::sleep_for(10ms);
    return Texts().size() >= count;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_texts;
};

bool Logged(const testkit::LogCapture& log, const std::string& text) {
  for (const testkit::LogLine& line : log.Lines())
    if (line.text.find(text) != std::string::npos) return true;
  return false;
}

struct UpgradeCase {
  const char* name;
  std::string protocol;
  std::string folder;
  bool tls;
  std::string path;
};

class UpgradeTest : public ::testing::TestWithParam<UpgradeCase> {
 protected:
  testkit::ScaledClock m_clock{50};
  testkit::LogCapture m_log;
};

TEST_P(UpgradeTest, RequestsThePathWithTheAgentsHeaders) {
  const UpgradeCase& c = GetParam();
  testkit::MgmtServer server({c.tls});
  WebSocketMgr manager;
  manager.SetNetworkInfo("127.0.0.1", std::to_string(server.Port()), c.protocol, c.folder);
  ASSERT_TRUE(manager.Connect());
  EXPECT_TRUE(manager.IsConnected());
  ASSERT_TRUE(server.WaitForUpgrades(1));
  testkit::MgmtUpgrade upgrade = server.Upgrades()[0];
  EXPECT_EQ(upgrade.path, c.path);
  EXPECT_EQ(upgrade.headers["user-agent"], "MyCustomUserAgent");
  EXPECT_EQ(upgrade.headers["host"], kPlaceholderHost);
  EXPECT_EQ(upgrade.headers["sn"], c.tls ? "MyComputerName" : GetComputerNameString());
  EXPECT_EQ(upgrade.headers.count("sec-websocket-protocol"), 0u);
  EXPECT_EQ(upgrade.headers.count("sec-websocket-extensions"), 0u);
  EXPECT_TRUE(Logged(m_log, c.tls ? "SetDeviceChange" : "ConnectWs OK"));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UpgradeTest,
    ::testing::Values(UpgradeCase{"TlsDefaultFolder", "https", "", true, "/tarvik/ws"},
                      UpgradeCase{"TlsFolder", "https", "/fleet", true, "/fleet/ws"},
                      UpgradeCase{"CapitalHttpsIsPlain", "HTTPS", "/fleet", false, "/ws"},
                      UpgradeCase{"PlainIgnoresFolder", "http", "/fleet", false, "/ws"}),
    [](const ::testing::TestParamInfo<UpgradeCase>& info) { return info.param.name; });

struct FailedAttemptCase {
  const char* name;
  std::string protocol;
  bool queueKept;
  const char* line;
};

class FailedAttemptTest : public ::testing::TestWithParam<FailedAttemptCase> {};

TEST_P(FailedAttemptTest, PlainDropsTheQueueTlsKeepsIt) {
  const FailedAttemptCase& c = GetParam();
  testkit::LogCapture log;
  std::uint16_t freePort;
  {
    testkit::MgmtServer gone;
    freePort = gone.Port();
  }
  WebSocketMgr manager;
  manager.SetNetworkInfo("127.0.0.1", std::to_string(freePort), c.protocol, "");
  for (int i = 0; i < 3; ++i) manager.SendMsg("queued", true);
  EXPECT_FALSE(manager.Connect());
  EXPECT_FALSE(manager.IsConnected());
  EXPECT_EQ(manager.QueuedMessages().size(), c.queueKept ? 3u : 0u);
  EXPECT_TRUE(Logged(log, c.line));
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, FailedAttemptTest,
    ::testing::Values(FailedAttemptCase{"Plain", "http", false, "ConnectWs Boost System Error caught: "},
                      FailedAttemptCase{"Tls", "https", true, "MyStreamSSL ConnectWss Connect fail"}),
    [](const ::testing::TestParamInfo<FailedAttemptCase>& info) { return info.param.name; });

TEST(ConnectTimeLimit, AServerThatSaysNothingDoesNotHoldTheAttempt) {
  testkit::LogCapture log;
  for (const char* protocol : {"http", "https"}) {
    testkit::MgmtServer server({std::string(protocol) == "https"});
    server.SetSilent(true);
    WebSocketMgr manager;
    manager.SetConnectTimeLimit(300ms);
    manager.SetNetworkInfo("127.0.0.1", std::to_string(server.Port()), protocol, "");
    EXPECT_FALSE(manager.Connect()) << protocol;
  }
  EXPECT_TRUE(Logged(log, "MyStreamSSL ConnectWss handshake fail"));
}

TEST(RefusedUpgrade, FailsTheAttempt) {
  testkit::LogCapture log;
  testkit::MgmtServer server;
  server.SetRefuseUpgrades(true);
  WebSocketMgr manager;
  manager.SetNetworkInfo("127.0.0.1", std::to_string(server.Port()), "http", "");
  EXPECT_FALSE(manager.Connect());
  EXPECT_TRUE(Logged(log, "ConnectWs Boost System Error caught: "));
}

class ConversationTest : public ::testing::Test {
 protected:
  void Start(bool tls) {
    m_server = std::make_unique<testkit::MgmtServer>(testkit::MgmtServerOptions{tls});
    m_manager = std::make_unique<WebSocketMgr>(m_handled.Handler());
    m_manager->SetNetworkInfo("127.0.0.1", std::to_string(m_server->Port()), tls ? "https" : "http", "");
    m_manager->StartWatchdogThread();
    ASSERT_TRUE(m_server->WaitForUpgrades(1));
    for (int i = 0; i < 2000 && !m_manager->IsConnected(); ++i) std::this_thread::sleep_for(5ms);
  }
  void TearDown() override {
    if (m_manager) m_manager->Exit();
  }
  // The agent's last lines, to show why a wait failed.
  std::string Tail() const {
    std::vector<testkit::LogLine> lines = m_log.Lines();
    std::string text;
    for (size_t i = lines.size() > 60 ? lines.size() - 60 : 0; i < lines.size(); ++i) text += lines[i].text + "\n";
    return text;
  }

  testkit::ScaledClock m_clock{50};
  testkit::LogCapture m_log;
  HandledTexts m_handled;
  std::unique_ptr<testkit::MgmtServer> m_server;
  std::unique_ptr<WebSocketMgr> m_manager;
};

TEST_F(ConversationTest, EveryTextReachesTheHandlerOnceHoweverTheServerFramesIt) {
  Start(false);
  ASSERT_TRUE(m_server->SendText("{\"a\":1}\n{\"b\":2}\n"));
  ASSERT_TRUE(m_server->SendText("{\"c\":"));
  ASSERT_TRUE(m_server->SendText("3}"));
  ASSERT_TRUE(m_server->SendTextInFrames({"{\"d\"", ":4}"}));
  ASSERT_TRUE(m_server->SendBinary("{\"e\":5}"));
  ASSERT_TRUE(m_server->SendText("{malformed"));
  ASSERT_TRUE(m_server->SendText("{\"f\":6}"));
  ASSERT_TRUE(m_handled.WaitFor(6));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(m_handled.Texts(),
            (std::vector<std::string>{R"({"a":1})", R"({"b":2})", R"({"c":3})", R"({"d":4})", R"({"e":5})",
                                      R"({"f":6})"}));
}

TEST_F(ConversationTest, QueuedMessagesLeaveInOrderOverTls) {
  Start(true);
  std::vector<std::string> sent;
  for (int i = 0; i < 5; ++i) {
    sent.push_back("{\"n\":" + std::to_string(i) + "}");
    m_manager->SendMsg(sent.back(), true);
  }
  ASSERT_TRUE(m_server->WaitForMessageContaining(sent.back()));
  std::vector<std::string> received;
  for (const testkit::MgmtMessage& message : m_server->Messages()) {
    EXPECT_TRUE(message.text);
    // Heartbeat reports go out in between.
    if (message.data.rfind("{\"n\":", 0) == 0) received.push_back(message.data);
  }
  EXPECT_EQ(received, sent);
}

// Reconnects while the receive thread waits in a read and the send thread writes.
TEST_F(ConversationTest, ReconnectsAfterEveryDropWhileReadingAndWriting) {
  Start(false);
  std::atomic<bool> stop{false};
  std::thread producer([&] {
    for (int i = 0; !stop.load(); ++i) {
      m_manager->SendMsg("{\"n\":" + std::to_string(i) + "}", true);
      std::this_thread::sleep_for(2ms);
    }
  });
  bool reconnected = true;
  for (size_t drops = 1; drops <= 4 && reconnected; ++drops) {
    size_t before = m_server->Messages().size();
    reconnected = m_server->WaitForMessages(before + 3);
    m_server->DropConnections();
    reconnected = reconnected && m_server->WaitForUpgrades(drops + 1);
  }
  stop = true;
  producer.join();
  ASSERT_TRUE(reconnected) << Tail();
  ASSERT_TRUE(m_server->SendText(R"({"after":"reconnect"})"));
  ASSERT_TRUE(m_handled.WaitFor(1));
  EXPECT_EQ(m_handled.Texts().back(), R"({"after":"reconnect"})");
}

}  // namespace
