#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/testing/NotificationObservers.h"
#include "platform/macos/testing/StringText.h"

namespace {

using macstandin::testing::ExpectRemovalToWaitForTheCallback;
using macstandin::testing::LabelledObservers;
using macstandin::testing::SelfRemovingObserver;
using macstandin::testing::SlowObserver;
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
  const void* Observe(const std::string& label, CFStringRef name, const void* object) {
    return m_observers.Observe(label, name, object);
  }

  std::vector<Delivery> Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_deliveries, {});
  }

 private:
  void Record(const std::string& label, CFNotificationName name, const void* object, CFDictionaryRef userInfo) {
    std::lock_guard lock(m_mutex);
    m_deliveries.push_back({label, std::this_thread::get_id(), name, object, userInfo});
  }

  std::mutex m_mutex;
  std::vector<Delivery> m_deliveries;
  // Last, so that the observers go first.
  LabelledObservers m_observers{CFNotificationCenterGetLocalCenter(),
                                [this](const std::string& label, CFNotificationName name, const void* object,
                                       CFDictionaryRef userInfo) { Record(label, name, object, userInfo); }};
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

TEST(LocalCenter, RemovalWaitsForTheCallbackRunningOnAnotherThread) {
  CFNotificationCenterRef center = CFNotificationCenterGetLocalCenter();
  SlowObserver observer;
  CFNotificationCenterAddObserver(center, &observer, &SlowObserver::Run, CFSTR("Slow"), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  std::thread poster([] { Post(CFSTR("Slow"), nullptr, nullptr); });
  ExpectRemovalToWaitForTheCallback(
      observer, [&] { CFNotificationCenterRemoveObserver(center, &observer, CFSTR("Slow"), nullptr); });
  poster.join();
  Post(CFSTR("Slow"), nullptr, nullptr);
  EXPECT_EQ(observer.runs, 1);
}

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
