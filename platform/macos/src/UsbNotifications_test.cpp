#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/HidDeviceSource.h"
#include "platform/macos/IOKit.h"
#include "platform/macos/UsbDeviceEvents.h"
#include "platform/macos/internal/CFObject.h"
#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/testing/RunLoopWait.h"
#include "platform/macos/testing/ScriptedHidSource.h"
#include "platform/macos/testing/TempMacRoot.h"

namespace {

using macstandin::AnnounceUsbDevice;
using macstandin::testing::RunLoopUntil;

int Drain(io_iterator_t iterator) {
  int count = 0;
  while (io_object_t service = IOIteratorNext(iterator)) {
    EXPECT_EQ(IOObjectRelease(service), kIOReturnSuccess);
    ++count;
  }
  return count;
}

// One matching notification and what its callback saw.
struct Watch {
  io_iterator_t iterator = IO_OBJECT_NULL;
  bool drainInCallback = true;
  int calls = 0;
  int drained = 0;
  std::thread::id calledOn;
  std::function<void()> alsoInCallback;

  static void Callback(void* refCon, io_iterator_t iterator) {
    auto* watch = static_cast<Watch*>(refCon);
    EXPECT_EQ(iterator, watch->iterator);
    ++watch->calls;
    watch->calledOn = std::this_thread::get_id();
    if (watch->drainInCallback) watch->drained += Drain(iterator);
    if (watch->alsoInCallback) watch->alsoInCallback();
  }
};

// A port served by the test thread's loop, with an arrival and a removal notification,
// registered and drained as the agent does.
class WatchedPort {
 public:
  explicit WatchedPort(const char* deviceClass = "IOUSBDevice")
      : m_port(IONotificationPortCreate(kIOMainPortDefault)),
        m_source(m_port ? IONotificationPortGetRunLoopSource(m_port) : nullptr) {
    if (m_port == nullptr) return;
    CFRunLoopAddSource(CFRunLoopGetCurrent(), m_source.Get(), kCFRunLoopDefaultMode);
    presentAtStart = Register(kIOFirstMatchNotification, deviceClass, arrivals);
    EXPECT_EQ(Register(kIOTerminatedNotification, deviceClass, removals), 0);
  }
  ~WatchedPort() {
    TakeOffLoop();
    for (const Watch* watch : {&arrivals, &removals}) {
      if (watch->iterator != IO_OBJECT_NULL) {
        EXPECT_EQ(IOObjectRelease(watch->iterator), kIOReturnSuccess);
      }
    }
    Destroy();
  }
  WatchedPort(const WatchedPort&) = delete;
  WatchedPort& operator=(const WatchedPort&) = delete;

  bool Made() const { return m_port != nullptr; }
  IONotificationPortRef Port() const { return m_port; }
  void TakeOffLoop() {
    if (m_source) CFRunLoopRemoveSource(CFRunLoopGetCurrent(), m_source.Get(), kCFRunLoopDefaultMode);
  }
  void Destroy() {
    if (m_port) IONotificationPortDestroy(std::exchange(m_port, nullptr));
  }

  Watch arrivals;
  Watch removals;
  int presentAtStart = 0;

 private:
  int Register(const char* type, const char* deviceClass, Watch& watch) {
    EXPECT_EQ(IOServiceAddMatchingNotification(m_port, type, IOServiceMatching(deviceClass), Watch::Callback, &watch,
                                               &watch.iterator),
              kIOReturnSuccess);
    return Drain(watch.iterator);
  }

  IONotificationPortRef m_port;
  macstandin::Retained<CFRunLoopSourceObject> m_source;
};

class UsbNotifications : public ::testing::Test {
 protected:
  UsbNotifications() { macstandin::SetHidDeviceSource(m_devices); }
  ~UsbNotifications() override { macstandin::SetHidDeviceSource(nullptr); }

  void Present(const std::string& path) {
    mchid::HidCollection collection;
    collection.path = path;
    m_devices->Add(collection);
  }

  macstandin::testing::TempMacRoot m_root;
  std::shared_ptr<macstandin::testing::ScriptedHidSource> m_devices =
      std::make_shared<macstandin::testing::ScriptedHidSource>();
};

TEST_F(UsbNotifications, PresentDevicesAreHandedOutAtRegistrationAndNeverCalledBack) {
  Present("monitor-1");
  Present("monitor-2");
  WatchedPort port;
  ASSERT_TRUE(port.Made());
  EXPECT_EQ(port.presentAtStart, 2);

  AnnounceUsbDevice(false, "monitor-1");
  ASSERT_TRUE(RunLoopUntil([&] { return port.removals.calls == 1; }));
  EXPECT_EQ(port.removals.drained, 1);
  EXPECT_EQ(port.arrivals.calls, 0);
}

TEST_F(UsbNotifications, ArrivalsAndRemovalsCallTheirOwnCallbackOnTheLoopThread) {
  WatchedPort port;
  ASSERT_TRUE(port.Made());

  std::thread([] { AnnounceUsbDevice(true, "keyboard"); }).join();
  ASSERT_TRUE(RunLoopUntil([&] { return port.arrivals.calls == 1; }));
  EXPECT_EQ(port.arrivals.drained, 1);
  EXPECT_EQ(port.arrivals.calledOn, std::this_thread::get_id());
  EXPECT_EQ(port.removals.calls, 0);

  AnnounceUsbDevice(false, "keyboard");
  ASSERT_TRUE(RunLoopUntil([&] { return port.removals.calls == 1; }));
  EXPECT_EQ(port.removals.drained, 1);
  EXPECT_EQ(port.arrivals.calls, 1);
}

TEST_F(UsbNotifications, ABurstOfDevicesIsDrainedByCallbacksThatEachFindSome) {
  WatchedPort port;
  ASSERT_TRUE(port.Made());
  constexpr int kBurst = 40;
  for (int i = 0; i < kBurst; ++i) AnnounceUsbDevice(true, "hub-port-" + std::to_string(i));

  ASSERT_TRUE(RunLoopUntil([&] { return port.arrivals.drained == kBurst; }));
  EXPECT_GE(port.arrivals.calls, 1);
  EXPECT_LE(port.arrivals.calls, port.arrivals.drained) << "a callback found its iterator empty";
}

TEST_F(UsbNotifications, AnIteratorLeftUndrainedIsNotCalledAgainUntilDrained) {
  WatchedPort port;
  ASSERT_TRUE(port.Made());
  port.arrivals.drainInCallback = false;

  AnnounceUsbDevice(true, "first");
  ASSERT_TRUE(RunLoopUntil([&] { return port.arrivals.calls == 1; }));
  AnnounceUsbDevice(true, "second");
  AnnounceUsbDevice(false, "marker");  // comes after "second": once it is seen, so was that
  ASSERT_TRUE(RunLoopUntil([&] { return port.removals.calls == 1; }));
  EXPECT_EQ(port.arrivals.calls, 1);

  EXPECT_EQ(Drain(port.arrivals.iterator), 2);
  AnnounceUsbDevice(true, "third");
  ASSERT_TRUE(RunLoopUntil([&] { return port.arrivals.calls == 2; }));
}

TEST_F(UsbNotifications, MalformedEventsAreIgnored) {
  WatchedPort port;
  ASSERT_TRUE(port.Made());
  for (const char* message : {"", "arrival", "arrival ", "attach thing", "removalthing"}) {
    macstandin::BusSend("usb", message);
  }
  AnnounceUsbDevice(true, "real");

  ASSERT_TRUE(RunLoopUntil([&] { return port.arrivals.drained == 1; }));
  AnnounceUsbDevice(false, "real");
  ASSERT_TRUE(RunLoopUntil([&] { return port.removals.calls == 1; }));
  EXPECT_EQ(port.arrivals.drained, 1);
  EXPECT_EQ(port.removals.drained, 1);
}

TEST_F(UsbNotifications, MatchingAnotherClassSeesNoUsbDevices) {
  Present("monitor-1");
  WatchedPort other("IOHIDDevice");
  WatchedPort usb;
  ASSERT_TRUE(other.Made() && usb.Made());
  EXPECT_EQ(other.presentAtStart, 0);

  AnnounceUsbDevice(true, "stick");
  ASSERT_TRUE(RunLoopUntil([&] { return usb.arrivals.calls == 1; }));
  EXPECT_EQ(other.arrivals.calls, 0);
}

TEST_F(UsbNotifications, RegistrationRefusesWhatItCannotServe) {
  WatchedPort port;
  ASSERT_TRUE(port.Made());
  io_iterator_t iterator = IO_OBJECT_NULL;
  EXPECT_EQ(IOServiceAddMatchingNotification(port.Port(), "IOServicePublish", IOServiceMatching("IOUSBDevice"),
                                             Watch::Callback, nullptr, &iterator),
            kIOReturnBadArgument);
  EXPECT_EQ(IOServiceAddMatchingNotification(nullptr, kIOFirstMatchNotification, IOServiceMatching("IOUSBDevice"),
                                             Watch::Callback, nullptr, &iterator),
            kIOReturnBadArgument);
  EXPECT_EQ(iterator, IO_OBJECT_NULL);
  EXPECT_EQ(IOObjectRelease(0x7fffffff), kIOReturnBadArgument);
}

// A port that stops being served (its source off the loop, or the port destroyed from another
// thread) calls nothing; a witness port on the same loop shows the events were delivered.
TEST_F(UsbNotifications, APortNoLongerServedCallsNothing) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed from another thread" : "source removed from the loop");
    WatchedPort gone;
    ASSERT_TRUE(gone.Made());
    AnnounceUsbDevice(true, "before");
    if (destroy) {
      std::thread([&] { gone.Destroy(); }).join();
    } else {
      gone.TakeOffLoop();
    }
    WatchedPort witness;
    AnnounceUsbDevice(true, "after");
    ASSERT_TRUE(RunLoopUntil([&] { return witness.arrivals.calls >= 1; }));
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false);
    EXPECT_EQ(gone.arrivals.calls, 0);
  }
}

TEST_F(UsbNotifications, DestroyingThePortInACallbackSkipsTheCallbacksStillDue) {
  WatchedPort port;
  ASSERT_TRUE(port.Made());
  Watch second;
  ASSERT_EQ(IOServiceAddMatchingNotification(port.Port(), kIOFirstMatchNotification, IOServiceMatching("IOUSBDevice"),
                                             Watch::Callback, &second, &second.iterator),
            kIOReturnSuccess);
  EXPECT_EQ(Drain(second.iterator), 0);
  port.arrivals.alsoInCallback = [&] { port.Destroy(); };

  AnnounceUsbDevice(true, "both-see-it");
  ASSERT_TRUE(RunLoopUntil([&] { return port.arrivals.calls == 1; }));
  EXPECT_EQ(second.calls, 0);
  const io_object_t held = IOIteratorNext(second.iterator);
  EXPECT_NE(held, IO_OBJECT_NULL) << "an iterator outlives its port";
  EXPECT_EQ(IOObjectRelease(held), kIOReturnSuccess);
  EXPECT_EQ(IOObjectRelease(second.iterator), kIOReturnSuccess);
}

}  // namespace
