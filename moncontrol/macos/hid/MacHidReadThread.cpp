#include "moncontrol/macos/hid/MacHidDevice.h"

namespace mchid {
namespace {

// As many input reports as wait for a reader; a new one beyond that drops the oldest.
constexpr std::size_t kMaxQueuedReports = 30;

void OnInputReport(void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t* report, CFIndex length) {
  auto* device = static_cast<hid_device*>(context);
  {
    std::lock_guard lock(device->mutex);
    if (device->reports.size() == kMaxQueuedReports) device->reports.pop_front();
    device->reports.emplace_back(report, report + length);
  }
  device->changed.notify_all();
}

void OnRemoval(void* context, IOReturn, void*) {
  auto* device = static_cast<hid_device*>(context);
  {
    std::lock_guard lock(device->mutex);
    device->disconnected = true;
  }
  device->changed.notify_all();
  CFRunLoopStop(CFRunLoopGetCurrent());
}

void StopCurrentRunLoop(void*) { CFRunLoopStop(CFRunLoopGetCurrent()); }

bool KeepRunning(hid_device* device) {
  std::lock_guard lock(device->mutex);
  return !device->shutdown && !device->disconnected;
}

void ReadThread(hid_device* device) {
  CFRunLoopRef runLoop = CFRunLoopGetCurrent();
  IOHIDDeviceScheduleWithRunLoop(device->device, runLoop, kCFRunLoopDefaultMode);
  CFRunLoopAddSource(runLoop, device->stopSource, kCFRunLoopDefaultMode);
  {
    std::lock_guard lock(device->mutex);
    device->runLoop = static_cast<CFRunLoopRef>(const_cast<void*>(CFRetain(runLoop)));
  }
  device->changed.notify_all();

  while (KeepRunning(device)) {
    if (CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1000, false) == kCFRunLoopRunFinished) break;
  }

  IOHIDDeviceUnscheduleFromRunLoop(device->device, runLoop, kCFRunLoopDefaultMode);
  {
    std::lock_guard lock(device->mutex);
    device->disconnected = true;
  }
  device->changed.notify_all();
}

}  // namespace

void StartReadThread(hid_device* device) {
  IOHIDDeviceRegisterInputReportCallback(device->device, device->inputBuffer.data(),
                                         static_cast<CFIndex>(device->inputBuffer.size()), &OnInputReport, device);
  IOHIDDeviceRegisterRemovalCallback(device->device, &OnRemoval, device);
  CFRunLoopSourceContext context{};
  context.info = device;
  context.perform = &StopCurrentRunLoop;
  device->stopSource = CFRunLoopSourceCreate(kCFAllocatorDefault, 0, &context);
  device->readThread = std::thread(ReadThread, device);
  std::unique_lock lock(device->mutex);
  device->changed.wait(lock, [device] { return device->runLoop != nullptr; });
}

void StopReadThread(hid_device* device) {
  CFRunLoopRef runLoop;
  {
    std::lock_guard lock(device->mutex);
    device->shutdown = true;
    runLoop = device->runLoop;
  }
  // A signalled source stays signalled, so the stop is seen even by a loop not running yet.
  CFRunLoopSourceSignal(device->stopSource);
  CFRunLoopWakeUp(runLoop);
  device->readThread.join();
  CFRelease(runLoop);
  CFRelease(device->stopSource);
}

}  // namespace mchid
