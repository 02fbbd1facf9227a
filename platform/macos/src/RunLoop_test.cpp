#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/macos/IOKitHid.h"

namespace {

void StopCurrent(void*) { CFRunLoopStop(CFRunLoopGetCurrent()); }

CFRunLoopSourceRef StoppingSource() {
  CFRunLoopSourceContext context{};
  context.perform = &StopCurrent;
  return CFRunLoopSourceCreate(kCFAllocatorDefault, 0, &context);
}

TEST(RunLoop, FinishesAtOnceWithNothingScheduled) {
  std::thread([] { EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1000, false), kCFRunLoopRunFinished); }).join();
}

// A stop asked for through a source is not lost when the loop has not started running yet,
// whereas a plain stop of a loop that is not running has no effect.
TEST(RunLoop, SignalledSourceStopsEvenBeforeTheLoopRuns) {
  CFRunLoopSourceRef source = StoppingSource();
  std::thread([source] {
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    CFRunLoopAddSource(loop, source, kCFRunLoopDefaultMode);
    CFRunLoopStop(loop);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false), kCFRunLoopRunTimedOut);
    CFRunLoopSourceSignal(source);
    CFRunLoopWakeUp(loop);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1000, false), kCFRunLoopRunStopped);
  }).join();
  CFRelease(source);
}

TEST(RunLoop, SourceSignalledFromAnotherThreadStopsARunningLoop) {
  CFRunLoopSourceRef source = StoppingSource();
  CFRunLoopRef loop = nullptr;
  std::mutex mutex;
  std::condition_variable added;
  std::thread runner([&] {
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
    {
      std::lock_guard lock(mutex);
      loop = static_cast<CFRunLoopRef>(const_cast<void*>(CFRetain(CFRunLoopGetCurrent())));
    }
    added.notify_all();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1000, false), kCFRunLoopRunStopped);
  });
  {
    std::unique_lock lock(mutex);
    added.wait(lock, [&] { return loop != nullptr; });
  }
  CFRunLoopSourceSignal(source);
  CFRunLoopWakeUp(loop);
  runner.join();
  CFRelease(loop);
  CFRelease(source);
}

TEST(RunLoop, ReturnsAfterHandlingASourceWhenAsked) {
  CFRunLoopSourceContext context{};
  int performed = 0;
  context.info = &performed;
  context.perform = [](void* info) { ++*static_cast<int*>(info); };
  CFRunLoopSourceRef source = CFRunLoopSourceCreate(kCFAllocatorDefault, 0, &context);
  std::thread([source] {
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
    CFRunLoopSourceSignal(source);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1000, true), kCFRunLoopRunHandledSource);
  }).join();
  EXPECT_EQ(performed, 1);
  CFRelease(source);
}

TEST(RunLoop, RunGoesOnUntilStoppedOrNothingIsScheduled) {
  CFRunLoopSourceRef source = StoppingSource();
  std::thread([source] {
    CFRunLoopRun();
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
    CFRunLoopSourceSignal(source);
    CFRunLoopRun();
  }).join();
  CFRelease(source);
}

}  // namespace
