#include "testkit/monsim/server/ControlCommands.h"

#include <gtest/gtest.h>

#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using nlohmann::json;

struct ControlCommandsTest : ::testing::Test {
  ControlCommandsTest() { sim.Add(testing::SmallMonitor()); }
  json Run(const std::string& text) { return ExecuteControlCommand(sim, text); }
  Simulator sim;
};

TEST_F(ControlCommandsTest, PlugUnplugAndList) {
  EXPECT_EQ(Run(R"({"cmd": "plug", "monitor": {"id": "right", "serial": "S2"}})"), (json{{"ok", true}, {"id", "right"}}));
  EXPECT_EQ(Run(R"({"cmd": "unplug", "id": "S1"})"), (json{{"ok", true}}));
  EXPECT_EQ(Run(R"({"cmd": "list"})")["plugged"], json::array({"right"}));
  EXPECT_FALSE(Run(R"({"cmd": "unplug", "id": "S1"})")["ok"]);
  EXPECT_EQ(Run(R"({"cmd": "plug", "id": "S1"})"), (json{{"ok", true}}));
  json taken = Run(R"({"cmd": "plug", "monitor": {"serial": "S1"}})");
  EXPECT_FALSE(taken["ok"]);
  EXPECT_EQ(taken["error"], "monitor \"S1\" is plugged in already");
}

TEST_F(ControlCommandsTest, SetAndGetVcpOfTheMonitorAndOfAChainedOne) {
  EXPECT_EQ(Run(R"({"cmd": "set-vcp", "id": "S1", "code": "10", "value": 30})"), (json{{"ok", true}}));
  EXPECT_EQ(Run(R"({"cmd": "set-vcp", "id": "S1", "code": "0x10", "value": 40, "port": "1"})"), (json{{"ok", true}}));
  EXPECT_EQ(Run(R"({"cmd": "get-vcp", "id": "S1", "code": "10"})")["vcp"],
            (json{{"current", 30}, {"maximum", 100}, {"type", 0}}));
  EXPECT_EQ(sim.Vcp("S1", 0x10, 1)->current, 40);
  EXPECT_FALSE(Run(R"({"cmd": "set-vcp", "id": "S1", "code": "10", "value": 70000})")["ok"]);
  EXPECT_FALSE(Run(R"({"cmd": "set-vcp", "id": "S1", "code": "10", "value": 1, "port": "9"})")["ok"]);
  EXPECT_FALSE(Run(R"({"cmd": "get-vcp", "id": "S1", "code": "99"})")["ok"]);
}

TEST_F(ControlCommandsTest, SetAndGetVcpReachTheExtendedPageBySubCode) {
  ASSERT_EQ(Run(R"({"cmd": "plug", "monitor": {"id": "E", "extended": {"05": {"current": 1, "maximum": 1}},
                 "chain": [{"port": "1", "extended": {"21": {"maximum": 1}}}]}})")["ok"], true);
  const json noSubCode = {{"ok", false}, {"error", "no such VCP F8 sub-code on \"E\""}};
  const struct {
    const char* command;
    json answer;
  } steps[] = {
      {R"({"cmd": "get-vcp", "id": "E", "code": "F8", "subCode": "05"})",
       {{"ok", true}, {"vcp", {{"current", 1}, {"maximum", 1}, {"type", 0}}}}},
      {R"({"cmd": "set-vcp", "id": "E", "code": "F8", "subCode": "5", "value": 0})", {{"ok", true}}},
      {R"({"cmd": "get-vcp", "id": "E", "code": "0xF8", "subCode": "0x0005"})",
       {{"ok", true}, {"vcp", {{"current", 0}, {"maximum", 1}, {"type", 0}}}}},
      {R"({"cmd": "get-vcp", "id": "E", "code": "F8", "subCode": "21"})", noSubCode},
      {R"({"cmd": "set-vcp", "id": "E", "code": "F8", "subCode": "21", "value": 1, "port": "1"})", {{"ok", true}}},
      {R"({"cmd": "get-vcp", "id": "E", "code": "F8", "subCode": "21", "port": "1"})",
       {{"ok", true}, {"vcp", {{"current", 1}, {"maximum", 1}, {"type", 0}}}}},
      {R"({"cmd": "set-vcp", "id": "E", "code": "F8", "subCode": "0102", "value": 7})", {{"ok", true}}},
      {R"({"cmd": "get-vcp", "id": "E", "code": "F8", "subCode": "102"})",
       {{"ok", true}, {"vcp", {{"current", 7}, {"maximum", 100}, {"type", 0}}}}},
      {R"({"cmd": "set-vcp", "id": "E", "code": "F8", "subCode": "05", "value": 1, "port": "9"})",
       {{"ok", false}, {"error", "no monitor \"E\" at that port"}}},
      {R"({"cmd": "get-vcp", "id": "nobody", "code": "F8", "subCode": "05"})",
       {{"ok", false}, {"error", "no such VCP F8 sub-code on \"nobody\""}}},
      {R"({"cmd": "set-vcp", "id": "E", "code": "10", "subCode": "05", "value": 1})",
       {{"ok", false}, {"error", "command.subCode: only code F8 has sub-codes"}}},
      {R"({"cmd": "get-vcp", "id": "E", "code": "F8", "subCode": "12345"})",
       {{"ok", false}, {"error", "command.subCode: \"12345\" is not a sub-code of 1 to 4 hex digits"}}},
      {R"({"cmd": "get-vcp", "id": "E", "code": "F8", "subCode": 5})",
       {{"ok", false}, {"error", "command.subCode: expected a hex text"}}},
      // Without a sub-code, F8 is the plain VCP code: the page's selection.
      {R"({"cmd": "set-vcp", "id": "E", "code": "F8", "value": 33})", {{"ok", true}}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.command);
    EXPECT_EQ(Run(step.command), step.answer);
  }
  EXPECT_EQ(sim.Vcp("E", 0xF8)->current, 33);
  EXPECT_EQ(sim.ExtendedVcp("E", 0x05)->current, 0);
}

TEST_F(ControlCommandsTest, FaultsMessagesAndRecordedRequests) {
  auto connection = sim.Open("monsim/S1/0");
  EXPECT_EQ(Run(R"({"cmd": "fault", "id": "S1", "fault": {"kind": "status", "value": 4}})"), (json{{"ok", true}}));
  ASSERT_GT(testing::WriteRequest(*connection, testing::DdcciRequest(0x42, {0x51, 0x82, 0x01, 0x10})), 0);
  auto reply = testing::ReadMessage(*connection);
  ASSERT_TRUE(reply);
  EXPECT_EQ(+LoadMccmdReceiveHeader(reply->data()).param1, 4u);

  EXPECT_EQ(Run(R"({"cmd": "emit", "id": "S1", "message": {"subCode": 16, "param3": 7}})"), (json{{"ok", true}}));
  auto message = testing::ReadMessage(*connection);
  ASSERT_TRUE(message);
  EXPECT_EQ(+LoadMccmdReceiveHeader(message->data()).param3, 7u);

  json requests = Run(R"({"cmd": "requests"})")["requests"];
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0]["monitor"], "S1");
  EXPECT_EQ(requests[0]["cmdID"], 0x42);
  EXPECT_EQ(requests[0]["param1"], 0x6E);
  EXPECT_EQ(requests[0]["payload"], "51 82 01 10 AC");
  EXPECT_EQ(requests[0]["signatureValid"], true);
  EXPECT_TRUE(requests[0]["timeMs"].is_number_integer());
  EXPECT_EQ(requests[0]["timeMs"], sim.Requests().at(0).timeMs);
  Run(R"({"cmd": "clear-requests"})");
  EXPECT_TRUE(Run(R"({"cmd": "requests"})")["requests"].empty());
}

TEST_F(ControlCommandsTest, HandlesCountsTheHandlesOpenOnTheMonitorNow) {
  const auto handles = [&] { return Run(R"({"cmd": "handles", "id": "S1"})"); };
  EXPECT_EQ(handles(), (json{{"ok", true}, {"handles", 0}}));
  auto connection = sim.Open("monsim/S1/0");
  ASSERT_TRUE(connection);
  EXPECT_EQ(handles(), (json{{"ok", true}, {"handles", 1}}));
  connection.reset();
  EXPECT_EQ(handles(), (json{{"ok", true}, {"handles", 0}}));
}

TEST_F(ControlCommandsTest, BadCommandsAreAnsweredWithTheirFault) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"unplug S1", "command: not valid JSON"},
      {"[1]", "command: expected an object"},
      {R"({"id": "S1"})", "command: needs \"cmd\""},
      {R"({"cmd": "reboot"})", "command.cmd: unknown command \"reboot\""},
      {R"({"cmd": "unplug"})", "command: needs \"id\""},
      {R"({"cmd": "unplug", "id": 1})", "command.id: expected a text"},
      {R"({"cmd": "set-vcp", "id": "S1", "code": "xyz", "value": 1})", "command.code: \"xyz\" is not a hex byte"},
      {R"({"cmd": "fault", "id": "S1", "fault": {"kind": "late", "valu": 3}})", "command.fault: unknown key \"valu\""},
      {R"({"cmd": "emit", "id": "nobody", "message": {}})", "no plugged monitor \"nobody\""},
      {R"({"cmd": "handles", "id": "nobody"})", "no monitor \"nobody\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    json answer = Run(c.text);
    EXPECT_EQ(answer["ok"], false);
    EXPECT_EQ(answer["error"], c.error);
  }
}

}  // namespace
}  // namespace monsim
