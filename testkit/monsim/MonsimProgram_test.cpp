// The monsim program as an agent in another process meets it: through the simulator client
// backend on its device socket, steered by control commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "moncontrol/hid/linux/SimulatorClient.h"
#include "platform/macos/CoreFoundation.h"
#include "platform/macos/IOKit.h"
#include "platform/macos/testing/RunLoopWait.h"
#include "platform/macos/testing/TempMacRoot.h"
#include "testkit/monsim/ControlClient.h"
#include "testkit/monsim/testing/MonsimProcess.h"
#include "testkit/monsim/testing/TestHost.h"
#include "testkit/sysevents/ObjectsRoot.h"
#include "testkit/sysevents/RecordingWindow.h"

namespace monsim {
namespace {

using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

std::string TempPath(const std::string& suffix) {
  return ::testing::TempDir() + "monsim-program-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

// Reads Get VCP 0x10 through an open device: the current value, or -1.
int Brightness(mchid::HidConnection& device, std::uint32_t cmdID) {
  if (testing::WriteRequest(device, testing::DdcciRequest(cmdID, {0x51, 0x82, 0x01, 0x10})) < 0) return -1;
  auto reply = testing::ReadMessage(device, 1000);
  if (!reply || reply->size() < 32 + 11) return -1;
  return ((*reply)[32 + 8] << 8) | (*reply)[32 + 9];
}

TEST(MonsimProgram, ServesItsMonitorsToAnotherProcessAndTakesControlCommands) {
  sysevents::ObjectsRoot root;  // its plugs reach no window but this test's
  const std::string file = TempPath(".json");
  std::ofstream(file) << R"({"monitors": [{"serial": "S1", "vcp": {"10": {"current": 50}}}]})";
  testing::MonsimProcess monsim(MONSIM_PROGRAM, file);
  ASSERT_TRUE(monsim.Ready());
  const std::string& socket = monsim.DeviceSocket();
  ControlClient ctl(monsim.ControlSocket());
  ASSERT_EQ(ctl.Send({{"cmd", "list"}})["plugged"], json::array({"S1"}));

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

  EXPECT_EQ(monsim.Stop(), 0);
  EXPECT_EQ(Brightness(*again, 5), -1);
  EXPECT_NE(::access(socket.c_str(), F_OK), 0);  // it cleans up its sockets
  std::remove(file.c_str());
}

TEST(MonsimProgram, TellsEveryTopLevelWindowOfAPlugOrUnplug) {
  sysevents::ObjectsRoot root;  // inherited by monsim
  sysevents::RecordingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  const std::string file = TempPath(".json");
  std::ofstream(file) << R"({"monitors": [{"serial": "S1"}]})";
  testing::MonsimProcess monsim(MONSIM_PROGRAM, file);
  ASSERT_TRUE(monsim.Ready());

  EXPECT_EQ(monsim.Send({{"cmd", "unplug"}, {"id", "S1"}})["ok"], true);
  EXPECT_EQ(monsim.Send({{"cmd", "unplug"}, {"id", "S1"}})["ok"], false);
  EXPECT_EQ(monsim.Send({{"cmd", "plug"}, {"id", "S1"}})["ok"], true);
  EXPECT_EQ(monsim.Send({{"cmd", "plug"}, {"monitor", {{"serial", "S2"}}}})["ok"], true);
  EXPECT_EQ(monsim.Send({{"cmd", "set-vcp"}, {"id", "S1"}, {"code", "10"}, {"value", 1}})["ok"], true);
  // Queued after whatever monsim posted before it answered.
  ASSERT_TRUE(PostMessageW(window.Handle(), WM_NULL, 0, 0));

  std::vector<sysevents::ReceivedMessage> received = window.WaitForMessages(4);
  ASSERT_EQ(received.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(received[i].message, static_cast<UINT>(WM_DEVICECHANGE));
    EXPECT_EQ(received[i].wParam, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
    EXPECT_EQ(received[i].lParam, 0);
  }
  EXPECT_EQ(received[3].message, static_cast<UINT>(WM_NULL));
  EXPECT_EQ(monsim.Stop(), 0);
  std::remove(file.c_str());
}

// How many times a matching notification was called back, draining it each time.
void CountAndDrain(void* calls, io_iterator_t iterator) {
  ++*static_cast<int*>(calls);
  while (io_object_t service = IOIteratorNext(iterator)) IOObjectRelease(service);
}

TEST(MonsimProgram, PlugsAndUnplugsReachTheUsbNotificationsOfTheMac) {
  macstandin::testing::TempMacRoot mac;  // inherited by monsim
  IONotificationPortRef port = IONotificationPortCreate(kIOMainPortDefault);
  ASSERT_NE(port, nullptr);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port), kCFRunLoopDefaultMode);
  int arrivals = 0, removals = 0;
  io_iterator_t added = IO_OBJECT_NULL, removed = IO_OBJECT_NULL;
  ASSERT_EQ(IOServiceAddMatchingNotification(port, kIOFirstMatchNotification, IOServiceMatching("IOUSBDevice"),
                                             CountAndDrain, &arrivals, &added),
            kIOReturnSuccess);
  ASSERT_EQ(IOServiceAddMatchingNotification(port, kIOTerminatedNotification, IOServiceMatching("IOUSBDevice"),
                                             CountAndDrain, &removals, &removed),
            kIOReturnSuccess);
  CountAndDrain(&arrivals, added);
  CountAndDrain(&removals, removed);
  arrivals = removals = 0;

  const std::string file = TempPath(".json");
  std::ofstream(file) << R"({"monitors": [{"serial": "S1"}]})";
  testing::MonsimProcess monsim(MONSIM_PROGRAM, file);
  ASSERT_TRUE(monsim.Ready());
  EXPECT_EQ(monsim.Send({{"cmd", "unplug"}, {"id", "S1"}})["ok"], true);
  EXPECT_TRUE(macstandin::testing::RunLoopUntil([&] { return removals == 1; }));
  EXPECT_EQ(monsim.Send({{"cmd", "plug"}, {"id", "S1"}})["ok"], true);
  EXPECT_TRUE(macstandin::testing::RunLoopUntil([&] { return arrivals == 1; }));
  EXPECT_EQ(removals, 1);

  EXPECT_EQ(monsim.Stop(), 0);
  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port), kCFRunLoopDefaultMode);
  IOObjectRelease(added);
  IOObjectRelease(removed);
  IONotificationPortDestroy(port);
  std::remove(file.c_str());
}

TEST(MonsimProgram, RefusesABadMonitorFile) {
  const std::string file = TempPath(".json");
  std::ofstream(file) << R"({"monitors": [{"vcp": {"10": {"curent": 1}}}]})";
  testing::MonsimProcess monsim(MONSIM_PROGRAM, file);
  EXPECT_FALSE(monsim.Ready());
  EXPECT_EQ(monsim.Stop(), 1);
  std::remove(file.c_str());
}

}  // namespace
}  // namespace monsim
