// Notification observers for tests: labelled ones that report what they are given, and those
// for tests of what a removal does while callbacks run.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/testing/ThreadSignals.h"

namespace macstandin::testing {

// Observers of one centre, each known by a label, that hand what they are given to record;
// all are removed when the holder goes.
class LabelledObservers {
 public:
  using Record = std::function<void(const std::string& label, CFNotificationName name, const void* object,
                                    CFDictionaryRef userInfo)>;

  LabelledObservers(CFNotificationCenterRef center, Record record) : m_center(center), m_record(std::move(record)) {}
  LabelledObservers(const LabelledObservers&) = delete;
  LabelledObservers& operator=(const LabelledObservers&) = delete;
  ~LabelledObservers() {
    for (const auto& observer : m_observers)
      CFNotificationCenterRemoveObserver(m_center, observer.get(), nullptr, nullptr);
  }

  // The observer as the centre knows it.
  const void* Observe(const std::string& label, CFStringRef name, const void* object) {
    const auto& observer = m_observers.emplace_back(std::make_unique<Observer>(Observer{this, label}));
    CFNotificationCenterAddObserver(m_center, observer.get(), &Callback, name, object,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    return observer.get();
  }

 private:
  struct Observer {
    LabelledObservers* owner;
    std::string label;
  };

  static void Callback(CFNotificationCenterRef center, void* observer, CFNotificationName name, const void* object,
                       CFDictionaryRef userInfo) {
    const auto* self = static_cast<Observer*>(observer);
    EXPECT_EQ(center, self->owner->m_center);
    self->owner->m_record(self->label, name, object, userInfo);
  }

  const CFNotificationCenterRef m_center;
  const Record m_record;
  std::vector<std::unique_ptr<Observer>> m_observers;
};

// Waits, inside its callback, until the test lets it go.
struct SlowObserver {
  static void Run(CFNotificationCenterRef, void* observer, CFNotificationName, const void*, CFDictionaryRef) {
    auto* self = static_cast<SlowObserver*>(observer);
    ++self->runs;
    self->entered.Open();
    EXPECT_TRUE(self->release.Pass());
    self->finished = true;
  }
  Gate entered;
  Gate release;
  std::atomic<int> runs{0};
  std::atomic<bool> finished{false};
};

// Once observer's callback has been entered, runs remove on another thread and expects it to
// return only after the callback has finished.
inline void ExpectRemovalToWaitForTheCallback(SlowObserver& observer, const std::function<void()>& remove) {
  ASSERT_TRUE(observer.entered.Pass());
  std::atomic<bool> removed{false};
  bool finishedFirst = false;
  std::thread remover([&] {
    remove();
    finishedFirst = observer.finished;
    removed = true;
  });
  // Long enough for a removal that does not wait to have returned.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(removed);
  observer.release.Open();
  remover.join();
  EXPECT_TRUE(finishedFirst);
}

// Removes itself, and the observer next when there is one, from inside its callback.
struct SelfRemovingObserver {
  static void Run(CFNotificationCenterRef center, void* observer, CFNotificationName, const void*, CFDictionaryRef) {
    auto* self = static_cast<SelfRemovingObserver*>(observer);
    ++self->runs;
    CFNotificationCenterRemoveObserver(center, self, nullptr, nullptr);
    if (self->next) CFNotificationCenterRemoveObserver(center, self->next, nullptr, nullptr);
  }
  const void* next = nullptr;
  int runs = 0;
};

}  // namespace macstandin::testing
