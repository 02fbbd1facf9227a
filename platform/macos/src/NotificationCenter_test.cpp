#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/testing/StringText.h"
#include "platform/macos/testing/ThreadSignals.h"

namespace {

using macstandin::testing::Gate;
using macstandin::testing::Utf8Text;

struct Delivery {
  std::string observer;
  std::thread::id thread;
  CFNotificationName name;
  const void* object;
  CFDictionaryRef userInfo;
};

// Observers that write down, in one list, each notification they are given.
class Deliveries {
 public:
  struct Observer {
    Deliveries* list;
    std::string label;
  };

  ~Deliveries() {
    for (const auto& observer : m_observers)
      CFNotificationCenterRemoveObserver(CFNotificationCenterGetLocalCenter(), observer.get(), nullptr, nullptr);
  }

  // The observer as the centre knows it.
  const void* Observe(const std::string& label, CFStringRef name, const void* object) {
    const auto& observer = m_observers.emplace_back(std::make_unique<Observer>(Observer{this, label}));
    CFNotificationCenterAddObserver(CFNotificationCenterGetLocalCenter(), observer.get(), &Record, name, object,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    return observer.get();
  }

  std::vector<Delivery> Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_deliveries, {});
  }

 private:
  static void Record(CFNotificationCenterRef center, void* observer, CFNotificationName name, const void* object,
                     CFDictionaryRef userInfo) {
    EXPECT_EQ(center, CFNotificationCenterGetLocalCenter());
    const auto* self = static_cast<Observer*>(observer);
    std::lock_guard lock(self->list->m_mutex);
    self->list->m_deliveries.push_back({self->label, std::this_thread::get_id(), name, object, userInfo});
  }

  std::vector<std::unique_ptr<Observer>> m_observers;
  std::mutex m_mutex;
  std::vector<Delivery> m_deliveries;
};

void Post(CFNotificationName name, const void* object, CFDictionaryRef userInfo) {
  CFNotificationCenterPostNotification(CFNotificationCenterGetLocalCenter(), name, object, userInfo, true);
}

TEST(LocalCenter, DeliversToEachMatchingObserverOnThePostingThreadBeforeThePostReturns) {
  const int sender = 0;
  const int other = 0;
  Deliveries deliveries;
  deliveries.Observe("ping", CFSTR("Ping"), nullptr);
  deliveries.Observe("all", nullptr, nullptr);
  deliveries.Observe("ping from sender", CFSTR("Ping"), &sender);
  deliveries.Observe("pong", CFSTR("Pong"), nullptr);
  const void* keys[] = {CFSTR("command")};
  const void* values[] = {CFSTR("x")};
  CFDictionaryRef userInfo = CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                                &kCFTypeDictionaryValueCallBacks);
  // Names are matched by their text, not by the string object.
  CFStringRef ping = CFStringCreateWithCString(kCFAllocatorDefault, "Ping", kCFStringEncodingUTF8);
  const struct {
    CFNotificationName name;
    const void* object;
    CFDictionaryRef userInfo;
    std::vector<std::string> observers;  // in the order they were added
  } cases[] = {
      {ping, &other, userInfo, {"ping", "all"}},
      {ping, &sender, nullptr, {"ping", "all", "ping from sender"}},
      {CFSTR("Pong"), nullptr, userInfo, {"all", "pong"}},
      {CFSTR("Ping "), &sender, nullptr, {"all"}},
  };
  for (const auto& c : cases) {
    Post(c.name, c.object, c.userInfo);
    const std::vector<Delivery> got = deliveries.Take();
    SCOPED_TRACE(*Utf8Text(c.name));
    ASSERT_EQ(got.size(), c.observers.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].observer, c.observers[i]);
      EXPECT_EQ(got[i].thread, std::this_thread::get_id());
      EXPECT_EQ(got[i].name, c.name);
      EXPECT_EQ(got[i].object, c.object);
      EXPECT_EQ(got[i].userInfo, c.userInfo);
    }
  }
  CFRelease(ping);
  CFRelease(userInfo);
}

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

TEST(LocalCenter, RemovalWaitsForTheCallbackRunningOnAnotherThread) {
  CFNotificationCenterRef center = CFNotificationCenterGetLocalCenter();
  SlowObserver observer;
  CFNotificationCenterAddObserver(center, &observer, &SlowObserver::Run, CFSTR("Slow"), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  std::thread poster([] { Post(CFSTR("Slow"), nullptr, nullptr); });
  ASSERT_TRUE(observer.entered.Pass());
  std::atomic<bool> removed{false};
  bool finishedFirst = false;
  std::thread remover([&] {
    CFNotificationCenterRemoveObserver(center, &observer, CFSTR("Slow"), nullptr);
    finishedFirst = observer.finished;
    removed = true;
  });
  // Long enough for a removal that does not wait to have returned.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(removed);
  observer.release.Open();
  remover.join();
  poster.join();
  EXPECT_TRUE(finishedFirst);
  Post(CFSTR("Slow"), nullptr, nullptr);
  EXPECT_EQ(observer.runs, 1);
}

// Removes itself and the observer after it from inside its callback.
struct SelfRemovingObserver {
  static void Run(CFNotificationCenterRef center, void* observer, CFNotificationName, const void*, CFDictionaryRef) {
    auto* self = static_cast<SelfRemovingObserver*>(observer);
    ++self->runs;
    CFNotificationCenterRemoveObserver(center, self, nullptr, nullptr);
    CFNotificationCenterRemoveObserver(center, self->next, nullptr, nullptr);
  }
  const void* next = nullptr;
  int runs = 0;
};

TEST(LocalCenter, ACallbackRemovesItselfAndALaterObserverWithoutWaitingForItself) {
  CFNotificationCenterRef center = CFNotificationCenterGetLocalCenter();
  SelfRemovingObserver first;
  CFNotificationCenterAddObserver(center, &first, &SelfRemovingObserver::Run, CFSTR("Once"), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  Deliveries later;
  first.next = later.Observe("later", CFSTR("Once"), nullptr);
  for (int post = 0; post < 2; ++post) {
    Post(CFSTR("Once"), nullptr, nullptr);
    EXPECT_EQ(first.runs, 1);
    EXPECT_TRUE(later.Take().empty());
  }
}

// Registrations come and go while other threads post; none may be called once its removal
// has returned.
struct CountingObserver {
  static void Run(CFNotificationCenterRef, void* observer, CFNotificationName, const void*, CFDictionaryRef) {
    auto* self = static_cast<CountingObserver*>(observer);
    EXPECT_FALSE(self->removed);
    ++self->runs;
  }
  std::atomic<bool> removed{false};
  std::atomic<int> runs{0};
};

TEST(LocalCenter, NoCallbackRunsAfterItsRemovalReturns) {
  CFNotificationCenterRef center = CFNotificationCenterGetLocalCenter();
  std::atomic<bool> stop{false};
  std::vector<std::thread> posters;
  for (int i = 0; i < 4; ++i)
    posters.emplace_back([&] {
      while (!stop) Post(CFSTR("Tick"), nullptr, nullptr);
    });
  // Kept until the posters have ended, so that a late callback finds its observer.
  std::vector<std::unique_ptr<CountingObserver>> observers;
  for (int i = 0; i < 200; ++i) {
    CountingObserver& observer = *observers.emplace_back(std::make_unique<CountingObserver>());
    CFNotificationCenterAddObserver(center, &observer, &CountingObserver::Run, CFSTR("Tick"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    while (observer.runs == 0) std::this_thread::yield();
    CFNotificationCenterRemoveObserver(center, &observer, CFSTR("Tick"), nullptr);
    observer.removed = true;
  }
  stop = true;
  for (std::thread& poster : posters) poster.join();
}

}  // namespace
