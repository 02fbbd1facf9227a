#include "testkit/monsim/MessageTimers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/server/ControlCommands.h"
#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using namespace std::chrono_literals;
using namespace monsim::testing;

DeviceMessage VcpChanged(std::uint32_t code, std::uint32_t value) {
  DeviceMessage message;
  message.subCode = code;
  message.param3 = value;
  return message;
}

struct MessageTimersTest : ::testing::Test {
  MessageTimersTest() { sim.Add(SmallMonitor()); }

  std::unique_ptr<SimulatedConnection> OpenControl() { return sim.Open("monsim/S1/0"); }
  // The subCode and param3 of the next message, waiting for it as long as a loaded machine may need.
  static std::pair<std::uint32_t, std::uint32_t> Next(SimulatedConnection& connection, int milliseconds = 10000) {
    auto message = ReadMessage(connection, milliseconds);
    if (!message) return {0, 0};
    tagMCCMD_RECEIVE_HEADER header = LoadMccmdReceiveHeader(message->data());
    EXPECT_EQ(+header.cmdType, MCCMD_TYPE_MESSAGE);
    return {header.param2, header.param3};
  }

  Simulator sim{ReadWaits::RealTime};
};

TEST_F(MessageTimersTest, SendsToEveryOpenHandleUntilStopped) {
  auto first = OpenControl();
  auto second = OpenControl();
  ASSERT_TRUE(sim.EmitMessageEvery("S1", VcpChanged(0x10, 30), 5ms));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Next(*first), std::make_pair(0x10u, 30u));
    EXPECT_EQ(Next(*second), std::make_pair(0x10u, 30u));
  }

  EXPECT_TRUE(sim.StopMessageTimers("S1"));
  EXPECT_FALSE(sim.StopMessageTimers("S1"));
  // Stopping waits for the timer, so after what it sent only what comes on demand follows.
  while (ReadMessage(*first, 0)) {
  }
  ASSERT_TRUE(sim.EmitMessage("S1", VcpChanged(0x12, 7)));
  EXPECT_EQ(Next(*first), std::make_pair(0x12u, 7u));
}

TEST_F(MessageTimersTest, GoesOnForTheHandlesOfAReplug) {
  ASSERT_TRUE(sim.EmitMessageEvery("S1", VcpChanged(0x10, 1), 5ms));
  ASSERT_TRUE(sim.Unplug("S1"));
  ASSERT_TRUE(sim.Plug("S1"));
  auto connection = OpenControl();
  EXPECT_EQ(Next(*connection), std::make_pair(0x10u, 1u));
}

TEST_F(MessageTimersTest, RefusesAnUnknownMonitorAndAnEmptyInterval) {
  EXPECT_FALSE(sim.EmitMessageEvery("nobody", VcpChanged(0x10, 1), 5ms));
  EXPECT_FALSE(sim.EmitMessageEvery("S1", VcpChanged(0x10, 1), 0ms));
  EXPECT_FALSE(sim.StopMessageTimers("S1"));
}

TEST_F(MessageTimersTest, ControlCommandsStartAndStopATimer) {
  const char* refused[] = {
      R"({"cmd": "emit-every", "id": "S1", "intervalMs": 0, "message": {"funcCode": 38}})",
      R"({"cmd": "emit-every", "id": "S1", "intervalMs": "5", "message": {"funcCode": 38}})",
      R"({"cmd": "emit-every", "id": "S1", "message": {"funcCode": 38}})",
      R"({"cmd": "emit-every", "id": "S9", "intervalMs": 5, "message": {"funcCode": 38}})",
      R"({"cmd": "stop-emitting", "id": "S1"})",
  };
  for (const char* command : refused) EXPECT_EQ(ExecuteControlCommand(sim, command)["ok"], false) << command;

  auto connection = OpenControl();
  nlohmann::json answer = ExecuteControlCommand(
      sim, R"({"cmd": "emit-every", "id": "S1", "intervalMs": 5, "message": {"funcCode": 38, "subCode": 16, "param3": 9}})");
  EXPECT_EQ(answer["ok"], true) << answer.dump();
  EXPECT_EQ(Next(*connection), std::make_pair(0x10u, 9u));
  EXPECT_EQ(ExecuteControlCommand(sim, R"({"cmd": "stop-emitting", "id": "S1"})")["ok"], true);
}

}  // namespace
}  // namespace monsim
