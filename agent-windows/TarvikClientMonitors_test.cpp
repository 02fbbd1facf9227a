// The installed agent with two monitors served by monsim and a management server: what the
// server learns of them, how its commands reach them, and how the agent shares their devices.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/AgentProgramTest.h"
#include "platform/win32/Win32.h"
#include "testkit/monsim/testing/MonsimProcess.h"

using nlohmann::json;
using namespace agenttest;

namespace {

const std::string kFirst = "TVK24Q100001";
const std::string kSecond = "TVK27Q100002";

class AgentMonitorsTest : public AgentProgramTest {
 protected:
  void SetUp() override {
    AgentProgramTest::SetUp();
    ASSERT_TRUE(monsim_.Ready());
    InstallAgent(SettingsFor(server_), {{"TARVIK_MONSIM_SOCKET", monsim_.DeviceSocket()}});
  }

  void TearDown() override { RemoveAgent(); }

  std::size_t MessageCount() const { return server_.Messages().size(); }

  json Vcp(const std::string& id, const std::string& code, const std::string& subCode = "") const {
    json command = {{"cmd", "get-vcp"}, {"id", id}, {"code", code}};
    if (!subCode.empty()) command["subCode"] = subCode;
    return monsim_.Send(command)["vcp"]["current"];
  }

  KernelObjectFolder objects_;
  monsim::testing::MonsimProcess monsim_{MONSIM_PROGRAM, MONSIM_TWO_MONITORS_FILE};
  testkit::MgmtServer server_;
};

json ExpectedFullEntry(int index, const std::string& serial, const std::string& model, int brightness,
                       int contrast, int useTimes) {
  return {{"funcList", {{16, brightness, 100}, {18, contrast, 100}, {248, 5, 1, 1}}},
          {"index", index},
          {"interfaceNumber", 0},
          {"lockStatus", 0},
          {"modelName", model},
          {"modelVersion", "03.12T"},
          {"monitorStatus", 0},
          {"mutexInt", json::array({2 << 16})},
          {"powerStatus", 1},
          {"productId", 0xF00F},
          {"serialNumber", serial},
          {"specialId", "A1"},
          {"useTimes", useTimes},
          {"vcpFuncMap",
           {{{"values", json::array()}, {"vcpCode", 16}},
            {{"values", json::array()}, {"vcpCode", 18}},
            {{"values", {0, 1}}, {"vcpCode", 0xF805}}}},
          {"vendorId", 0x3A71}};
}

// Milliseconds of the day from a log line's "[YYYY-MM-DD HH:MM:SS.mmm]" stamp.
long long StampMs(const std::string& line) {
  const long long hours = std::stoll(line.substr(12, 2)), minutes = std::stoll(line.substr(15, 2));
  const long long seconds = std::stoll(line.substr(18, 2)), millis = std::stoll(line.substr(21, 3));
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
}

// The output's lines that contain the part, in order.
std::vector<std::string> LinesWith(const std::string& output, const std::string& part) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    if (Has(line, part)) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

TEST_F(AgentMonitorsTest, TheServerSeesAndSetsTheMonitorsThatTheAgentShares) {
  // Full reports of both monitors, about 12 s after the connection.
  ASSERT_TRUE(server_.WaitForUpgrades(1, std::chrono::seconds(30))) << machine_.Output(kService);
  const auto connected = std::chrono::steady_clock::now();
  json report = WaitForFullReport(server_, 0);
  ASSERT_FALSE(report.is_null()) << machine_.Output(kService);
  const auto reportAfter = std::chrono::steady_clock::now() - connected;
  EXPECT_GT(reportAfter, std::chrono::seconds(9));
  EXPECT_EQ(report["monitorList"], json::array({ExpectedFullEntry(0, kFirst, "TV-2415Q", 50, 70, 1200),
                                                ExpectedFullEntry(1, kSecond, "TV-2715Q", 60, 75, 830)}));
  EXPECT_EQ(Vcp(kFirst, "EC"), 0xFF01);

  // Another process holds "Global\HalvaneSDK": the refreshed report waits for it, and a batch
  // of commands that cannot get it is dropped without a message.
  {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\HalvaneSDK");
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);
    const std::string output = machine_.Output(kService);
    const std::size_t droppedBefore = Occurrences(output, "RunCacheCommand:MutexGuard return !");
    const std::size_t postponedBefore = Occurrences(output, "StartUpdateMonitorInfoThread MutexGuard Acquire = ");
    const std::size_t held = MessageCount();
    ASSERT_TRUE(server_.SendText(R"({"type":"RefreshAllStatus"})"));
    ASSERT_TRUE(server_.SendText(R"({"cmdid":30,"type":"displayCommand","monitorList":[)"
                                 R"({"serialNumber":")" + kFirst + R"(","funcList":[[16,10]]}]})"));
    EXPECT_TRUE(WaitForLogLine("RunCacheCommand:MutexGuard return !", droppedBefore));
    EXPECT_TRUE(WaitForLogLine("StartUpdateMonitorInfoThread MutexGuard Acquire = ", postponedBefore));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(WaitForFullReport(server_, held, std::chrono::seconds(0)).is_null());
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    EXPECT_TRUE(MessagesOfType(server_, "VcpState", held).empty());
    EXPECT_EQ(Vcp(kFirst, "10"), 50);
    json refreshed = WaitForFullReport(server_, held);
    ASSERT_FALSE(refreshed.is_null()) << machine_.Output(kService);
    EXPECT_EQ(refreshed["monitorList"].size(), 2u);
  }

  // A display command: its response first, then one "VcpState" of the batch, with the
  // monitors' settle delays between the writes.
  const std::size_t beforeCommand = MessageCount();
  ASSERT_TRUE(server_.SendText(R"({"cmdid":21,"type":"displayCommand","monitorList":[)"
                               R"({"serialNumber":")" + kFirst + R"(","funcList":[[16,30],[248,5,0]]},)"
                               R"({"serialNumber":")" + kSecond + R"(","funcList":[[18,40]]}]})"));
  ASSERT_TRUE(server_.WaitForMessageContaining(R"("type":"VcpState")", std::chrono::seconds(30)));
  std::vector<std::string> answers;
  for (const testkit::MgmtMessage& message : server_.MessagesSince(beforeCommand))
    if (Has(message.data, R"("type":"response")") || Has(message.data, R"("type":"VcpState")"))
      answers.push_back(message.data);
  EXPECT_EQ(answers, (std::vector<std::string>{
                         R"({"cmdid":21,"status":"ok","type":"response"})",
                         R"({"monitorList":[{"funcList":[[16,30,0,0,0,0]],"serialNumber":")" + kFirst +
                             R"("},{"funcList":[[248,5,0,0,0,0]],"serialNumber":")" + kFirst +
                             R"("},{"funcList":[[18,40,0,0,0,0]],"serialNumber":")" + kSecond +
                             R"("}],"type":"VcpState"})"}));
  EXPECT_EQ(Vcp(kFirst, "10"), 30);
  EXPECT_EQ(Vcp(kFirst, "F8", "05"), 0);
  EXPECT_EQ(Vcp(kSecond, "12"), 40);
  const std::vector<std::string> settled = LinesWith(machine_.Output(kService), "RunCacheCommand : 444");
  const std::vector<std::string> resumed = LinesWith(machine_.Output(kService), "RunCacheCommand : 555");
  ASSERT_EQ(settled.size(), 3u);
  ASSERT_EQ(resumed.size(), 3u);
  for (std::size_t i = 0; i < settled.size(); ++i) EXPECT_GE(StampMs(resumed[i]) - StampMs(settled[i]), 500) << i;

  // A change that the monitor announces shows in the next heartbeat, once.
  const std::size_t beforeChange = MessageCount();
  ASSERT_EQ(monsim_.Send({{"cmd", "emit"},
                          {"id", kFirst},
                          {"message", {{"funcCode", 38}, {"subCode", 16}, {"param3", 33}, {"param4", 100}}}})["ok"],
            true);
  // A heartbeat built just before the change was recorded may still arrive after it.
  std::optional<std::size_t> carrying;
  std::vector<json> heartbeats;
  for (int i = 0; i < 400 && !(carrying && heartbeats.size() > *carrying + 1); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    heartbeats.clear();
    for (const json& report : MessagesOfType(server_, "displayStatusReport", beforeChange))
      if (report["monitorList"].size() == 2 && !report["monitorList"][0].contains("vcpFuncMap"))
        heartbeats.push_back(report);
    for (std::size_t k = 0; k < heartbeats.size() && !carrying; ++k)
      if (heartbeats[k]["monitorList"][0].contains("funcList")) carrying = k;
  }
  ASSERT_TRUE(carrying);
  ASSERT_GT(heartbeats.size(), *carrying + 1);
  EXPECT_LE(*carrying, 1u);
  EXPECT_EQ(heartbeats[*carrying]["monitorList"][0]["funcList"], json::parse("[[16,33,100]]"));
  EXPECT_FALSE(heartbeats[*carrying]["monitorList"][1].contains("funcList"));
  EXPECT_FALSE(heartbeats[*carrying + 1]["monitorList"][0].contains("funcList"));

  // A monitor unplugged is dropped at the next device change, which a reconnect marks.
  ASSERT_EQ(monsim_.Send({{"cmd", "unplug"}, {"id", kSecond}})["ok"], true);
  const std::size_t beforeReconnect = MessageCount();
  server_.DropConnections();
  ASSERT_TRUE(server_.WaitForUpgrades(2, std::chrono::seconds(30)));
  json afterUnplug = WaitForFullReport(server_, beforeReconnect);
  ASSERT_FALSE(afterUnplug.is_null()) << machine_.Output(kService);
  ASSERT_EQ(afterUnplug["monitorList"].size(), 1u);
  EXPECT_EQ(afterUnplug["monitorList"][0]["serialNumber"], kFirst);
  const std::size_t afterReport = MessageCount();
  ASSERT_TRUE(WaitForCount(server_, R"("type":"displayStatusReport")",
                           CountContaining(server_.Messages(), R"("type":"displayStatusReport")") + 1));
  const std::vector<json> heartbeat = MessagesOfType(server_, "displayStatusReport", afterReport);
  ASSERT_FALSE(heartbeat.empty());
  EXPECT_EQ(heartbeat[0]["monitorList"].size(), 1u);
}

}  // namespace
