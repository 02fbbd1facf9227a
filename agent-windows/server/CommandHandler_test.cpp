#include "agent-windows/server/CommandHandler.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/monitors/MonitorRegistry.h"
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

}  // namespace
