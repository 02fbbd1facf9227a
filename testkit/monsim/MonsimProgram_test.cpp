// The monsim program as an agent in another process meets it: through the simulator client
// backend on its device socket, steered by control commands.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "moncontrol/hid/linux/SimulatorClient.h"
#include "testkit/monsim/ControlClient.h"
#include "testkit/monsim/testing/TestHost.h"

extern char** environ;

namespace monsim {
namespace {

using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

std::string TempPath(const std::string& suffix) {
  return ::testing::TempDir() + "monsim-program-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, MONSIM_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Reads Get VCP 0x10 through an open device: the current value, or -1.
int Brightness(mchid::HidConnection& device, std::uint32_t cmdID) {
  if (testing::WriteRequest(device, testing::DdcciRequest(cmdID, {0x51, 0x82, 0x01, 0x10})) < 0) return -1;
  auto reply = testing::ReadMessage(device, 1000);
  if (!reply || reply->size() < 32 + 11) return -1;
  return ((*reply)[32 + 8] << 8) | (*reply)[32 + 9];
}

TEST(MonsimProgram, ServesItsMonitorsToAnotherProcessAndTakesControlCommands) {
  const std::string file = TempPath(".json"), socket = TempPath(".sock"), control = TempPath(".ctl");
  std::ofstream(file) << R"({"monitors": [{"serial": "S1", "vcp": {"10": {"current": 50}}}]})";
  pid_t pid = Spawn({"monsim", "--socket", socket, "--control", control, file});
  ASSERT_GT(pid, 0);
  ControlClient ctl(control);
  json listed;
  for (int i = 0; i < 1000 && listed.is_null(); ++i) {  // up to 10 s for a loaded machine
    try {
      listed = ctl.Send({{"cmd", "list"}});
    } catch (const std::runtime_error&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ASSERT_EQ(listed["plugged"], json::array({"S1"}));

  auto backend = mchid::MakeSimulatorClientBackend(socket);
  auto collections = backend->Enumerate(0x3A71, 0xF00F);
  ASSERT_EQ(collections.size(), 1u);
  EXPECT_EQ(collections[0].serial_number, L"S1");
  auto device = backend->OpenPath(collections[0].path);
  ASSERT_TRUE(device);
  EXPECT_EQ(Brightness(*device, 1), 50);

  EXPECT_EQ(ctl.Send({{"cmd", "set-vcp"}, {"id", "S1"}, {"code", "10"}, {"value", 77}})["ok"], true);
  EXPECT_EQ(Brightness(*device, 2), 77);

  EXPECT_EQ(ctl.Send({{"cmd", "unplug"}, {"id", "S1"}})["ok"], true);
  EXPECT_EQ(Brightness(*device, 3), -1);
  EXPECT_TRUE(backend->Enumerate(0, 0).empty());
  EXPECT_EQ(ctl.Send({{"cmd", "plug"}, {"id", "S1"}})["ok"], true);
  auto again = backend->OpenPath(collections[0].path);
  ASSERT_TRUE(again);
  EXPECT_EQ(Brightness(*again, 4), 77);

  json requests = ctl.Send({{"cmd", "requests"}})["requests"];
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2]["cmdID"], 4);

  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_EQ(ExitStatus(pid), 0);
  EXPECT_EQ(Brightness(*again, 5), -1);
  EXPECT_NE(::access(socket.c_str(), F_OK), 0);  // it cleans up its sockets
  std::remove(file.c_str());
}

TEST(MonsimProgram, RefusesABadMonitorFile) {
  const std::string file = TempPath(".json");
  std::ofstream(file) << R"({"monitors": [{"vcp": {"10": {"curent": 1}}}]})";
  pid_t pid = Spawn({"monsim", "--socket", TempPath(".sock"), file});
  ASSERT_GT(pid, 0);
  EXPECT_EQ(ExitStatus(pid), 1);
  std::remove(file.c_str());
}

}  // namespace
}  // namespace monsim
