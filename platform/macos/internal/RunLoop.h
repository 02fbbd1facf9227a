// The objects behind CFRunLoop and CFRunLoopSource.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/macos/api/CFRunLoop.h"
#include "platform/macos/internal/CFObject.h"

struct CFRunLoopSourceObject final : macstandin::CFObject {
  CFRunLoopSourceObject(void* sourceInfo, void (*sourcePerform)(void*)) : info(sourceInfo), perform(sourcePerform) {}
  CFTypeID TypeId() const override { return macstandin::kRunLoopSourceTypeId; }

  // Signals the source and wakes every loop it is on, for a source served from another thread.
  void SignalAndWake();

  void* const info;
  void (*const perform)(void* info);
  std::atomic<bool> signalled{false};

 private:
  friend struct CFRunLoopObject;
  std::mutex m_loopsMutex;
  // Not owned: a loop takes itself off its sources when it ends.
  std::vector<CFRunLoopObject*> m_loops;
};

struct CFRunLoopObject final : macstandin::CFObject {
  ~CFRunLoopObject() override;
  CFTypeID TypeId() const override { return macstandin::kRunLoopTypeId; }

  // Work that other threads hand to this loop's thread, run in the order posted. Purge drops
  // what an owner posted and was not run yet, when it leaves the loop.
  void Post(const void* owner, std::function<void()> callout);
  void Purge(const void* owner);
  // Objects scheduled on the loop: while there are any (or sources), the loop has work.
  void Attach();
  void Detach();
  void AddSource(CFRunLoopSourceRef source);
  void RemoveSource(CFRunLoopSourceRef source);

  CFRunLoopRunResult Run(CFTimeInterval seconds, bool returnAfterSourceHandled);
  void Stop();
  void WakeUp();

 private:
  struct Callout {
    const void* owner;
    std::function<void()> run;
  };

  // The next piece of work, taken off the loop; empty when there is none. The caller holds m_mutex.
  std::function<void()> TakeWork();

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<Callout> m_callouts;
  std::vector<macstandin::Retained<CFRunLoopSourceObject>> m_sources;
  int m_attached = 0;
  int m_running = 0;
  bool m_stopRequested = false;
  bool m_woken = false;
};
