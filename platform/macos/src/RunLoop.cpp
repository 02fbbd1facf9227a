#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>

#include <unistd.h>

#include "platform/macos/internal/RunLoop.h"

const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");

void CFRunLoopObject::Post(const void* owner, std::function<void()> callout) {
  {
    std::lock_guard lock(m_mutex);
    m_callouts.push_back({owner, std::move(callout)});
  }
  m_wake.notify_all();
}

void CFRunLoopObject::Purge(const void* owner) {
  std::deque<Callout> dropped;
  {
    std::lock_guard lock(m_mutex);
    auto kept = std::stable_partition(m_callouts.begin(), m_callouts.end(),
                                      [owner](const Callout& c) { return c.owner != owner; });
    std::move(kept, m_callouts.end(), std::back_inserter(dropped));
    m_callouts.erase(kept, m_callouts.end());
  }
  // The callouts may hold the last references of objects: they go outside the lock.
}

void CFRunLoopObject::Attach() {
  std::lock_guard lock(m_mutex);
  ++m_attached;
}

void CFRunLoopObject::Detach() {
  std::lock_guard lock(m_mutex);
  --m_attached;
}

void CFRunLoopSourceObject::SignalAndWake() {
  signalled = true;
  std::lock_guard lock(m_loopsMutex);
  for (CFRunLoopObject* loop : m_loops) loop->WakeUp();
}

CFRunLoopObject::~CFRunLoopObject() {
  for (const auto& source : m_sources) {
    std::lock_guard lock(source->m_loopsMutex);
    std::erase(source->m_loops, this);
  }
}

void CFRunLoopObject::AddSource(CFRunLoopSourceRef source) {
  {
    std::lock_guard lock(m_mutex);
    bool present =
        std::any_of(m_sources.begin(), m_sources.end(), [source](const auto& s) { return s.Get() == source; });
    if (present) return;
    m_sources.emplace_back(source);
  }
  std::lock_guard lock(source->m_loopsMutex);
  source->m_loops.push_back(this);
}

void CFRunLoopObject::RemoveSource(CFRunLoopSourceRef source) {
  {
    std::lock_guard lock(source->m_loopsMutex);
    std::erase(source->m_loops, this);
  }
  macstandin::Retained<CFRunLoopSourceObject> removed;  // may be the last reference: freed unlocked
  std::lock_guard lock(m_mutex);
  auto found = std::find_if(m_sources.begin(), m_sources.end(), [source](const auto& s) { return s.Get() == source; });
  if (found == m_sources.end()) return;
  removed = std::move(*found);
  m_sources.erase(found);
}

std::function<void()> CFRunLoopObject::TakeWork() {
  if (!m_callouts.empty()) {
    std::function<void()> work = std::move(m_callouts.front().run);
    m_callouts.pop_front();
    return work;
  }
  for (const auto& source : m_sources) {
    if (source->signalled.exchange(false)) {
      return [held = source] { held->perform(held->info); };
    }
  }
  return {};
}

CFRunLoopRunResult CFRunLoopObject::Run(CFTimeInterval seconds, bool returnAfterSourceHandled) {
  using Clock = std::chrono::steady_clock;
  // Callers pass huge values for "no limit"; a year is as good and does not overflow.
  constexpr double kLongest = 365.0 * 24 * 3600;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(std::clamp(seconds, 0.0, kLongest)));
  std::unique_lock lock(m_mutex);
  if (m_sources.empty() && m_attached == 0) return kCFRunLoopRunFinished;
  ++m_running;
  CFRunLoopRunResult result = kCFRunLoopRunTimedOut;
  for (;;) {
    if (std::function<void()> work = TakeWork()) {
      lock.unlock();
      work();
      work = nullptr;
      lock.lock();
      if (returnAfterSourceHandled && !m_stopRequested) {
        result = kCFRunLoopRunHandledSource;
        break;
      }
    }
    if (m_stopRequested) {
      m_stopRequested = false;
      result = kCFRunLoopRunStopped;
      break;
    }
    if (!m_callouts.empty()) continue;
    if (Clock::now() >= deadline) break;
    m_wake.wait_until(lock, deadline, [this] { return !m_callouts.empty() || m_stopRequested || m_woken; });
    m_woken = false;
  }
  --m_running;
  return result;
}

void CFRunLoopObject::Stop() {
  {
    std::lock_guard lock(m_mutex);
    if (m_running == 0) return;
    m_stopRequested = true;
  }
  m_wake.notify_all();
}

void CFRunLoopObject::WakeUp() {
  {
    std::lock_guard lock(m_mutex);
    m_woken = true;
  }
  m_wake.notify_all();
}

namespace {

// The process's initial thread, which is the main thread as the platform sees it.
bool OnMainThread() { return gettid() == getpid(); }

}  // namespace

CFRunLoopRef CFRunLoopGetMain() {
  // Never freed: the main queue posts to it for as long as the process lives, and as that
  // queue is always one of its sources, the loop never runs out of work.
  static CFRunLoopObject* const loop = [] {
    auto* made = new CFRunLoopObject;
    made->Attach();
    return made;
  }();
  return loop;
}

CFRunLoopRef CFRunLoopGetCurrent() {
  if (OnMainThread()) return CFRunLoopGetMain();
  thread_local auto loop = macstandin::Retained<CFRunLoopObject>::Adopt(new CFRunLoopObject);
  return loop.Get();
}

CFRunLoopRunResult CFRunLoopRunInMode(CFStringRef, CFTimeInterval seconds, Boolean returnAfterSourceHandled) {
  return CFRunLoopGetCurrent()->Run(seconds, returnAfterSourceHandled != 0);
}

void CFRunLoopRun() {
  CFRunLoopRunResult result;
  do {
    result = CFRunLoopGetCurrent()->Run(std::numeric_limits<CFTimeInterval>::infinity(), false);
  } while (result != kCFRunLoopRunStopped && result != kCFRunLoopRunFinished);
}

void CFRunLoopStop(CFRunLoopRef rl) { rl->Stop(); }

void CFRunLoopWakeUp(CFRunLoopRef rl) { rl->WakeUp(); }

CFRunLoopSourceRef CFRunLoopSourceCreate(CFAllocatorRef, CFIndex, CFRunLoopSourceContext* context) {
  return new CFRunLoopSourceObject(context->info, context->perform);
}

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef) { rl->AddSource(source); }

void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef) { rl->RemoveSource(source); }

void CFRunLoopSourceSignal(CFRunLoopSourceRef source) { source->signalled = true; }
