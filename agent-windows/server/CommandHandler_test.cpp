#include "agent-windows/server/CommandHandler.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/PendingVcpCommands.h"
#include "agent-windows/update/InstallQueue.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/text/TimeText.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

class CommandHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override { WebSocketMgr::GetInstance()->ClearSendQueue(); }
  void TearDown() override { WebSocketMgr::GetInstance()->ClearSendQueue(); }

  static std::vector<std::string> Queued() {
    std::vector<std::string> texts;
    for (const SendItem& item : WebSocketMgr::GetInstance()->QueuedMessages()) texts.push_back(item.msg);
    return texts;
  }

  bool Logged(spdlog::level::level_enum level, const std::string& text) const {
    for (const testkit::LogLine& line : m_log.Lines())
      if (line.level == level && line.text.find(text) != std::string::npos) return true;
    return false;
  }

  testkit::LogCapture m_log;
};

struct ResponseCase {
  const char* name;
  std::string message;
  std::vector<std::string> queued;
  bool unsupported;
};

class CommandResponses : public CommandHandlerTest, public ::testing::WithParamInterface<ResponseCase> {};

TEST_P(CommandResponses, AnswersTheCmdidBeforeLookingAtTheType) {
  const ResponseCase& c = GetParam();
  ParseControlCmd(c.message);
  EXPECT_EQ(Queued(), c.queued);
  EXPECT_EQ(Logged(spdlog::level::warn, "An unsupported command was received!"), c.unsupported);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CommandResponses,
    ::testing::Values(
        ResponseCase{"UnknownType", R"({"cmdid":5,"type":"rebootEverything"})",
                     {R"({"cmdid":5,"status":"ok","type":"response"})"}, true},
        ResponseCase{"Acknowledgement", R"({"type":"reportResponseOk","cmdid":7})",
                     {R"({"cmdid":7,"status":"ok","type":"response"})"}, false},
        ResponseCase{"NoCmdid", R"({"type":"reportResponseOk"})", {}, false},
        ResponseCase{"CmdidBeyondDoublePrecision", R"({"cmdid":9007199254740993,"type":"reportResponseOk"})",
                     {R"({"cmdid":9007199254740993,"status":"ok","type":"response"})"}, false},
        // Answered even though the type is missing and the message is then dropped.
        ResponseCase{"MissingType", R"({"cmdid":3})", {R"({"cmdid":3,"status":"ok","type":"response"})"}, false}),
    [](const ::testing::TestParamInfo<ResponseCase>& info) { return info.param.name; });

TEST_F(CommandHandlerTest, MalformedMessagesAreDroppedWithAnErrorLine) {
  for (const char* text : {R"({"cmdid":"5","type":"reportResponseOk"})", "{bad", R"({"cmdid":1e300})", "[1,2]"}) {
    m_log.Clear();
    ParseControlCmd(text);
    EXPECT_TRUE(Queued().empty()) << text;
    EXPECT_TRUE(Logged(spdlog::level::err, "ParseControlCmd Exception caught: ")) << text;
  }
}

TEST_F(CommandHandlerTest, RefreshMarksEveryMonitorStaleKeepingItsTime) {
  testkit::FakeClock clock;
  InitMonitorRegistry();
  MonitorState state;
  state.sn = "S1";
  state.last_update_time = GetCurrSeconds();
  PutMonitorState(state);
  clock.Advance(std::chrono::seconds(6));
  EXPECT_FALSE(HasStaleMonitor());
  ParseControlCmd(R"({"type":"RefreshAllStatus"})");
  EXPECT_TRUE(HasStaleMonitor());
  InitMonitorRegistry();
}

// Display commands become queued six-integer records for the batch of the refresh thread.
class DisplayCommandTest : public CommandHandlerTest {
 protected:
  void SetUp() override {
    CommandHandlerTest::SetUp();
    InitMonitorRegistry();
    TakePendingCommands();
  }
  void TearDown() override {
    TakePendingCommands();
    InitMonitorRegistry();
    CommandHandlerTest::TearDown();
  }

  using Records = std::vector<std::pair<std::string, std::array<std::int32_t, 6>>>;
  static Records Pending() {
    Records records;
    for (const PendingVcpCommand& command : TakePendingCommands()) records.emplace_back(command.serial, command.command);
    return records;
  }
};

TEST_F(DisplayCommandTest, EachCommandBecomesARecordAndShortOnesAreSkipped) {
  MonitorState state;
  state.sn = "S";
  PutMonitorState(state);
  struct Case {
    const char* what;
    std::string funcList;
    Records queued;
  };
  const Case cases[] = {
      {"a setting", "[[16,70]]", {{"S", {16, 70, 0, 0, 0, 0}}}},
      {"an extended setting", "[[248,33,2,9]]", {{"S", {248, 33, 2, 0, 0, 0}}}},
      {"a later value of the same code replaces the earlier", "[[16,70],[18,20],[16,50]]",
       {{"S", {16, 50, 0, 0, 0, 0}}, {"S", {18, 20, 0, 0, 0, 0}}}},
      {"too short, then one that counts", "[[16],[248,33],[],[18,20]]", {{"S", {18, 20, 0, 0, 0, 0}}}},
      {"a fraction is cut", "[[18,20.7]]", {{"S", {18, 20, 0, 0, 0, 0}}}},
      {"a text ends the message", R"([[16,1],["18",1]])", {}},
      {"a value out of range ends the message", "[[16,1],[18,1e12]]", {}},
      {"a command that is no list ends the message", R"([[16,1],{"a":1}])", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ParseControlCmd(R"({"type":"advDispCommand","monitorList":[{"serialNumber":"S","funcList":)" + c.funcList + "}]}");
    EXPECT_EQ(Pending(), c.queued);
  }
}

TEST_F(DisplayCommandTest, MonitorsAreTakenInOrderWithTheirLinesAndTheResponseComesFirst) {
  MonitorState state;
  state.sn = "A1";
  PutMonitorState(state);
  m_log.Clear();
  // The serial is not looked up here: an unknown one is dropped when the batch runs.
  ParseControlCmd(R"({"cmdid":9,"type":"displayCommand","monitorList":[)"
                  R"({"serialNumber":"B2","funcList":[[16,30]]},{"serialNumber":"A1","funcList":[[4,1]]}]})");
  EXPECT_EQ(Queued(), std::vector<std::string>{R"({"cmdid":9,"status":"ok","type":"response"})"});
  EXPECT_EQ(Pending(), (Records{{"B2", {16, 30, 0, 0, 0, 0}}, {"A1", {4, 1, 0, 0, 0, 0}}}));
  std::vector<std::string> lines;
  for (const testkit::LogLine& line : m_log.Lines())
    if (line.text.rfind("displayCommand", 0) == 0 || line.text.rfind("Monitor ", 0) == 0) lines.push_back(line.text);
  EXPECT_EQ(lines, (std::vector<std::string>{"displayCommand sn = B2.", "Monitor 0 func Over! ",
                                             "displayCommand sn = A1.", "Monitor 1 func Over! "}));
}

TEST_F(DisplayCommandTest, NothingIsQueuedWithoutMonitorsOrForAMalformedList) {
  ParseControlCmd(R"({"type":"displayCommand","monitorList":[{"serialNumber":"S","funcList":[[16,1]]}]})");
  EXPECT_TRUE(Logged(spdlog::level::info, "displayCommand Monitor count = 0."));
  EXPECT_TRUE(Pending().empty());

  MonitorState state;
  state.sn = "S";
  PutMonitorState(state);
  // The first entry's commands stay queued when a later entry ends the message.
  ParseControlCmd(R"({"type":"displayCommand","monitorList":[{"serialNumber":"S","funcList":[[16,1]]},)"
                  R"({"serialNumber":7,"funcList":[[16,2]]}]})");
  EXPECT_EQ(Pending(), (Records{{"S", {16, 1, 0, 0, 0, 0}}}));
  EXPECT_TRUE(Logged(spdlog::level::err, "ParseControlCmd Exception caught: "));
  for (const char* list : {R"({"serialNumber":"S","funcList":{"a":[16,1]}})", R"({"serialNumber":"S"})"}) {
    ParseControlCmd(std::string(R"({"type":"displayCommand","monitorList":[)") + list + "]}");
    EXPECT_TRUE(Pending().empty()) << list;
  }
}

// No server answers at the package URL, so every accepted firmware command ends in "downFileFail".
class FirmwareCommandTest : public CommandHandlerTest {
 protected:
  void SetUp() override {
    CommandHandlerTest::SetUp();
    while (TakeNextInstallCommand()) {
    }
    g_bIsUpdating.store(false);
  }
  void TearDown() override {
    g_bIsUpdating.store(false);
    CommandHandlerTest::TearDown();
  }

  static std::string Command(const std::string& cmdid) {
    return R"({)" + cmdid + R"("type":"firmwareUpdateCommand","monitorList":[{"index":0,"serialNumber":"S",)"
           R"("updatePackageInfo":{"packageUrl":"fw 1.bin","packageSize":10,"userId":3}}]})";
  }

  testkit::FakeClock m_clock;
};

TEST_F(FirmwareCommandTest, AFailedDownloadAnswersDownFileFailAndLeavesUpdatesIdle) {
  g_bIsInstall.store(true);
  ParseControlCmd(Command(R"("cmdid":4,)"));
  ParseControlCmd(Command(""));
  EXPECT_EQ(Queued(), (std::vector<std::string>{R"({"cmdid":4,"status":"ok","type":"response"})",
                                                R"({"cmdid":4,"status":"downFileFail","type":"response"})",
                                                R"({"cmdid":0,"status":"downFileFail","type":"response"})"}));
  EXPECT_FALSE(g_bIsUpdating.load());
  EXPECT_FALSE(g_bIsInstall.load());
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{100, 100}));
  std::vector<std::string> lines;
  for (const testkit::LogLine& line : m_log.Lines())
    if (line.text.rfind("Download", 0) == 0) lines.push_back(line.text);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "Download Start: " + WebSocketMgr::GetInstance()->GetPackageUrl() + "fw%201.bin");
  for (int attempt = 1; attempt <= 3; ++attempt) EXPECT_EQ(lines[static_cast<std::size_t>(attempt)], "Download failed.");
}

TEST_F(FirmwareCommandTest, CommandsThatArriveDuringAnUpdateWaitAndAreEachHandledOnce) {
  g_bIsUpdating.store(true);  // an installer runs
  ParseControlCmd(Command(R"("cmdid":1,)"));
  ParseControlCmd(Command(R"("cmdid":2,)"));
  EXPECT_EQ(Queued(), (std::vector<std::string>{R"({"cmdid":1,"status":"ok","type":"response"})",
                                                R"({"cmdid":2,"status":"ok","type":"response"})"}));
  WebSocketMgr::GetInstance()->ClearSendQueue();

  // The installer ends: both are handled in turn, each answered "ok" again.
  g_bIsUpdating.store(false);
  RunQueuedFirmwareCommands();
  EXPECT_EQ(Queued(), (std::vector<std::string>{R"({"cmdid":1,"status":"ok","type":"response"})",
                                                R"({"cmdid":1,"status":"downFileFail","type":"response"})",
                                                R"({"cmdid":2,"status":"ok","type":"response"})",
                                                R"({"cmdid":2,"status":"downFileFail","type":"response"})"}));
  EXPECT_FALSE(TakeNextInstallCommand());
  EXPECT_TRUE(Logged(spdlog::level::info, "g_Install_list.size() :2"));
}

TEST_F(FirmwareCommandTest, AMalformedCommandNeverLeavesUpdatesBlocked) {
  struct Case {
    const char* what;
    std::string text;
    bool error;
  };
  const Case cases[] = {
      {"no package information",
       R"({"cmdid":6,"type":"firmwareUpdateCommand","monitorList":[{"serialNumber":"S"}]})", true},
      {"a package URL that is no text",
       R"({"type":"firmwareUpdateCommand","monitorList":[{"updatePackageInfo":{"packageUrl":5}}]})", true},
      {"no monitor: nothing to do", R"({"type":"firmwareUpdateCommand","monitorList":[]})", false},
      {"monitors not in a list", R"({"type":"firmwareUpdateCommand","monitorList":{"a":1}})", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_log.Clear();
    WebSocketMgr::GetInstance()->ClearSendQueue();
    ParseControlCmd(c.text);
    EXPECT_FALSE(g_bIsUpdating.load());
    EXPECT_EQ(Logged(spdlog::level::err, "ParseControlCmd Exception caught: "), c.error);
    for (const std::string& text : Queued()) EXPECT_EQ(text.find("downFileFail"), std::string::npos);
  }
}

}  // namespace
