// The macOS layer's open-device record: the IOKit device, the thread whose run loop receives
// its input reports, and the queue those reports wait in.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "moncontrol/hid/HidApi.h"
#include "platform/macos/IOKitHid.h"

namespace mchid {

struct hid_device_ {
  IOHIDDeviceRef device = nullptr;
  CFIndex maxInputReportSize = 0;
  CFIndex maxOutputReportSize = 0;
  std::vector<uint8_t> inputBuffer;  // where IOKit puts each input report for the callback
  std::atomic<bool> blocking{true};
  CFRunLoopSourceRef stopSource = nullptr;  // signalled to end the read thread
  std::thread readThread;

  std::mutex mutex;
  std::condition_variable changed;  // a report came, the device went, or the thread started
  std::deque<std::vector<uint8_t>> reports;
  bool disconnected = false;  // also once the read thread has ended
  bool shutdown = false;
  CFRunLoopRef runLoop = nullptr;  // the read thread's, retained
  std::wstring lastError;
};

// Starts the device's read thread and returns once its run loop receives the device's reports.
void StartReadThread(hid_device* device);
// Ends and joins the read thread, which unschedules the device from its run loop.
void StopReadThread(hid_device* device);

}  // namespace mchid
