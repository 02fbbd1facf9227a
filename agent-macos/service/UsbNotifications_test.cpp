// USB arrivals and removals restarting the monitor refreshes, through IOKit's notifications.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "agent-macos/service/TarvikService.h"
#include "agent-macos/testing/MacRoot.h"
#include "agent-macos/testing/MainLoop.h"
#include "platform/macos/UsbDeviceEvents.h"

using namespace agentmactest;

namespace {

TEST(UsbNotificationsTest, EachArrivalAndRemovalLogsOnceAndRestartsTheRefreshes) {
  MacRoot();
  TarvikService service;
  service.registerUSBNotifications();
  ASSERT_NE(service.usbNotifyPort, nullptr);
  const struct {
    const char* label;
    std::function<void()> announce;
    std::string line;
  } cases[] = {
      {"arrival", [] { macstandin::AnnounceUsbDevice(true, "Keyboard"); }, "[Info] USB device added or changed.\n"},
      {"removal", [] { macstandin::AnnounceUsbDevice(false, "Keyboard"); }, "[Info] USB device removed.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    service.nUSBDeviceChangedCount = 0;
    LogMark before;
    c.announce();
    ASSERT_TRUE(RunMainLoopUntil([&] { return service.nUSBDeviceChangedCount == 10; }));
    // A second callback would come in the same turns of the loop.
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.2, false);
    EXPECT_EQ(before.Since(), c.line);
  }
  service.unregisterUSBNotifications();
  EXPECT_EQ(service.usbNotifyPort, nullptr);
  EXPECT_EQ(service.usbAddedIter, 0u);
  EXPECT_EQ(service.usbRemovedIter, 0u);
  LogMark after;
  service.nUSBDeviceChangedCount = 0;
  macstandin::AnnounceUsbDevice(true, "Keyboard");
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.3, false);
  EXPECT_EQ(after.Since(), "");
  EXPECT_EQ(service.nUSBDeviceChangedCount, 0);
}

}  // namespace
