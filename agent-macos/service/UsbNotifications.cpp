#include <memory>

#include "agent-macos/log/Log.h"
#include "agent-macos/service/Completions.h"
#include "agent-macos/service/TarvikService.h"

namespace {

// In-process: the IOKit callbacks tell the agent that a USB device came or went.
const CFNotificationName USBDeviceChangedNotification = CFSTR("USBDeviceChangedNotification");

void drain(io_iterator_t iterator) {
  while (io_object_t device = IOIteratorNext(iterator)) IOObjectRelease(device);
}

void usbDeviceAdded(void* refCon, io_iterator_t iterator) {
  static_cast<TarvikService*>(refCon)->onUSBDeviceEvent("USB device added or changed.", iterator);
}

void usbDeviceRemoved(void* refCon, io_iterator_t iterator) {
  static_cast<TarvikService*>(refCon)->onUSBDeviceEvent("USB device removed.", iterator);
}

void usbDeviceChangedReceived(CFNotificationCenterRef, void* observer, CFNotificationName, const void*,
                              CFDictionaryRef) {
  static_cast<TarvikService*>(observer)->onUSBDeviceChanged();
}

// Draining arms the notification; what it held is what was there before.
io_iterator_t addMatchingNotification(IONotificationPortRef port, const char* type, IOServiceMatchingCallback callback,
                                      void* refCon) {
  io_iterator_t iterator = 0;
  if (IOServiceAddMatchingNotification(port, type, IOServiceMatching("IOUSBDevice"), callback, refCon, &iterator) !=
      kIOReturnSuccess)
    return 0;
  drain(iterator);
  return iterator;
}

}  // namespace

void TarvikService::registerUSBNotifications() {
  usbNotifyPort = IONotificationPortCreate(kIOMasterPortDefault);
  if (usbNotifyPort == nullptr) return;
  CFRunLoopAddSource(CFRunLoopGetMain(), IONotificationPortGetRunLoopSource(usbNotifyPort), kCFRunLoopDefaultMode);
  usbAddedIter = addMatchingNotification(usbNotifyPort, kIOFirstMatchNotification, usbDeviceAdded, this);
  usbRemovedIter = addMatchingNotification(usbNotifyPort, kIOTerminatedNotification, usbDeviceRemoved, this);
  CFNotificationCenterAddObserver(CFNotificationCenterGetLocalCenter(), this, usbDeviceChangedReceived,
                                  USBDeviceChangedNotification, nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
}

void TarvikService::unregisterUSBNotifications() {
  if (usbNotifyPort != nullptr) {
    // The stop runs on a thread of its own: the source is on the main loop, not on that thread's.
    CFRunLoopRemoveSource(CFRunLoopGetMain(), IONotificationPortGetRunLoopSource(usbNotifyPort),
                          kCFRunLoopDefaultMode);
    IONotificationPortDestroy(usbNotifyPort);
    usbNotifyPort = nullptr;
  }
  for (io_iterator_t* iterator : {&usbAddedIter, &usbRemovedIter}) {
    if (*iterator == 0) continue;
    IOObjectRelease(*iterator);
    *iterator = 0;
  }
  CFNotificationCenterRemoveObserver(CFNotificationCenterGetLocalCenter(), this, USBDeviceChangedNotification,
                                     nullptr);
}

void TarvikService::onUSBDeviceEvent(const char* line, io_iterator_t iterator) {
  if (stopBegun) return;
  Utils::logInfo(line);
  drain(iterator);
  CFNotificationCenterPostNotification(CFNotificationCenterGetLocalCenter(), USBDeviceChangedNotification, nullptr,
                                       nullptr, true);
}

void TarvikService::onUSBDeviceChanged() {
  if (stopBegun) return;
  // The main queue may run it after the agent object is gone; its completions guard says so.
  dispatch_async_f(dispatch_get_main_queue(), new std::shared_ptr<Completions>(completions),
                   restartRefreshesOnMainQueue);
}

void TarvikService::restartRefreshesOnMainQueue(void* context) {
  const std::unique_ptr<std::shared_ptr<Completions>> completions(static_cast<std::shared_ptr<Completions>*>(context));
  (*completions)->run([](TarvikService& service) {
    if (!service.stopBegun) service.nUSBDeviceChangedCount = 10;
  });
}
