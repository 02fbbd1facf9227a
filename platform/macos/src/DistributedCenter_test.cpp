#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/testing/PeerProcess.h"
#include "platform/macos/testing/PropertyListText.h"
#include "platform/macos/testing/NotificationObservers.h"
#include "platform/macos/testing/StringText.h"
#include "platform/macos/testing/TempMacRoot.h"
#include "platform/macos/testing/ThreadSignals.h"

namespace {

namespace fs = std::filesystem;
using macstandin::testing::ExpectRemovalToWaitForTheCallback;
using macstandin::testing::LabelledObservers;
using macstandin::testing::ListOf;
using macstandin::testing::OwnedPlist;
using macstandin::testing::PlistFormat;
using macstandin::testing::PeerArguments;
using macstandin::testing::RegisterPeerRole;
using macstandin::testing::RunPeer;
using macstandin::testing::SelfRemovingObserver;
using macstandin::testing::Serialized;
using macstandin::testing::SlowObserver;
using macstandin::testing::TempMacRoot;
using macstandin::testing::Utf8Text;
using macstandin::testing::XmlOf;

constexpr const char* kChannel = "distributed-notifications";

CFNotificationCenterRef Center() { return CFNotificationCenterGetDistributedCenter(); }

// Runs the main loop, which is this thread's, until done holds; false when it did not within
// the safety limit.
bool RunMainLoopUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + macstandin::testing::kSafetyLimit;
  while (!done()) {
    const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
    if (left.count() <= 0) return false;
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, left.count(), true);
  }
  return true;
}

struct Delivery {
  std::string observer;
  bool onMainThread;
  std::optional<std::string> name;
  std::optional<std::string> object;
  std::optional<std::string> userInfo;  // as XML
};

// Observers that write down, in one list, what they are given. The main loop runs them all, so
// the list needs no lock.
class Deliveries {
 public:
  void Observe(const std::string& label, CFStringRef name, CFStringRef object) {
    m_observers.Observe(label, name, object);
  }

  // The deliveries to come, up to one to the observer named last.
  std::vector<Delivery> Until(const std::string& last) {
    std::vector<Delivery> got;
    const bool arrived = RunMainLoopUntil([&] {
      while (m_next < m_deliveries.size()) {
        got.push_back(m_deliveries[m_next++]);
        if (got.back().observer == last) return true;
      }
      return false;
    });
    EXPECT_TRUE(arrived) << "nothing reached " << last;
    return got;
  }

 private:
  std::vector<Delivery> m_deliveries;
  std::size_t m_next = 0;
  // Last, so that the observers go first.
  LabelledObservers m_observers{Center(), [this](const std::string& label, CFNotificationName name,
                                                 const void* object, CFDictionaryRef userInfo) {
    m_deliveries.push_back(
        {label, CFRunLoopGetCurrent() == CFRunLoopGetMain(), Utf8Text(name), Utf8Text(object), XmlOf(userInfo)});
  }};
};

void Post(CFStringRef name, CFTypeRef object, CFDictionaryRef userInfo) {
  CFNotificationCenterPostNotification(Center(), name, object, userInfo, true);
}

// What the installer reports, with the types it gives each field unless told otherwise.
OwnedPlist Progress(plist_t progress) {
  OwnedPlist info(plist_new_dict());
  plist_dict_set_item(info.get(), "context", plist_new_string("update"));
  plist_dict_set_item(info.get(), "progress", progress);
  plist_dict_set_item(info.get(), "sn", plist_new_string("SN-\xc3\xa9"));
  plist_dict_set_item(info.get(), "state", plist_new_uint(static_cast<std::uint64_t>(-1)));
  plist_t nested = plist_new_dict();
  plist_dict_set_item(nested, "steps", plist_new_array());
  plist_dict_set_item(info.get(), "detail", nested);
  return info;
}

// Its XML as the receiver shows it: keys in the order of their text.
std::optional<std::string> ProgressXml(plist_t progress) {
  CFPropertyListRef list = ListOf(Progress(progress).get());
  const std::optional<std::string> xml = XmlOf(list);
  CFRelease(list);
  return xml;
}

// As a faulty installer may send them: the receiver passes them on, the agent judges them.
const std::function<plist_t()> kProgresses[] = {[] { return plist_new_uint(42); },
                                                [] { return plist_new_string("42"); },
                                                [] { return plist_new_real(42.5); }};

// The installer, in a process of its own.
const bool kInstallerRegistered = RegisterPeerRole("post progress", [](const PeerArguments&) {
  for (const auto& progress : kProgresses) {
    CFPropertyListRef userInfo = ListOf(Progress(progress()).get());
    Post(CFSTR("InstallProgressUpdate"), nullptr, static_cast<CFDictionaryRef>(userInfo));
    CFRelease(userInfo);
  }
  return 0;
});

// A machine of the test's own, so that no other test run's notifications reach it.
class DistributedCenter : public ::testing::Test {
 protected:
  // The receivers listening on the machine.
  std::size_t Listeners() const {
    std::error_code error;
    const fs::directory_iterator markers(m_root + "/private/var/run/tarvik-standin/" + kChannel, error);
    return error ? 0 : static_cast<std::size_t>(std::distance(markers, fs::directory_iterator()));
  }

  const TempMacRoot m_mac;
  const std::string m_root = m_mac.Path();
};

TEST_F(DistributedCenter, DeliversOnTheMainLoopToTheObserversWhoseNameAndObjectTextMatch) {
  Deliveries deliveries;
  // Made at run time: the text is compared, not the object.
  CFStringRef installer = CFStringCreateWithCString(kCFAllocatorDefault, "installer", kCFStringEncodingUTF8);
  deliveries.Observe("progress", CFSTR("InstallProgressUpdate"), nullptr);
  deliveries.Observe("from installer", CFSTR("InstallProgressUpdate"), installer);
  deliveries.Observe("other", CFSTR("Other"), nullptr);
  deliveries.Observe("all", nullptr, nullptr);
  const OwnedPlist info = Progress(plist_new_uint(42));
  CFPropertyListRef userInfo = ListOf(info.get());
  const std::optional<std::string> infoXml = ProgressXml(plist_new_uint(42));
  const struct {
    CFStringRef name;
    CFStringRef object;
    CFPropertyListRef userInfo;
    std::vector<std::string> observers;  // in the order they were added
  } cases[] = {
      {CFSTR("InstallProgressUpdate"), CFSTR("installer"), userInfo, {"progress", "from installer", "all"}},
      {CFSTR("InstallProgressUpdate"), nullptr, nullptr, {"progress", "all"}},
      {CFSTR("InstallProgressUpdate"), CFSTR("installer "), userInfo, {"progress", "all"}},
      {CFSTR("Other"), CFSTR("installer"), nullptr, {"other", "all"}},
      {CFSTR("InstallProgress"), nullptr, userInfo, {"all"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(*Utf8Text(c.name) + " from " + Utf8Text(c.object).value_or("nothing"));
    Post(c.name, c.object, static_cast<CFDictionaryRef>(c.userInfo));
    const std::vector<Delivery> got = deliveries.Until("all");
    ASSERT_EQ(got.size(), c.observers.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].observer, c.observers[i]);
      EXPECT_TRUE(got[i].onMainThread);
      EXPECT_EQ(got[i].name, Utf8Text(c.name));
      EXPECT_EQ(got[i].object, Utf8Text(c.object));
      EXPECT_EQ(got[i].userInfo, c.userInfo ? infoXml : std::nullopt);
    }
  }
  CFRelease(userInfo);
  CFRelease(installer);
}

TEST_F(DistributedCenter, AnotherProcessesPostsArriveWithTheirUserInfoAsSent) {
  Deliveries deliveries;
  deliveries.Observe("progress", CFSTR("InstallProgressUpdate"), nullptr);
  ASSERT_TRUE(kInstallerRegistered);
  EXPECT_EQ(RunPeer("post progress", {}), 0);
  for (const auto& progress : kProgresses) {
    const std::vector<Delivery> got = deliveries.Until("progress");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].userInfo, ProgressXml(progress()));
  }
}

// Neither bytes that are no notification nor a notification that cannot travel reach anyone;
// the next good one does.
TEST_F(DistributedCenter, WhatIsNoNotificationIsDroppedAndTheNextOneArrives) {
  Deliveries deliveries;
  deliveries.Observe("all", nullptr, nullptr);
  auto envelope = [](plist_t name, plist_t object, plist_t userInfo) {
    const OwnedPlist root(plist_new_dict());
    if (name) plist_dict_set_item(root.get(), "name", name);
    if (object) plist_dict_set_item(root.get(), "object", object);
    if (userInfo) plist_dict_set_item(root.get(), "userInfo", userInfo);
    return Serialized(root.get(), PlistFormat::kBinary);
  };
  const std::string whole = envelope(plist_new_string("Cut"), nullptr, Progress(plist_new_uint(1)).release());
  const std::string datagrams[] = {
      "",
      "not a property list",
      whole.substr(0, whole.size() - 9),
      Serialized(OwnedPlist(plist_new_array()).get(), PlistFormat::kBinary),
      envelope(nullptr, plist_new_string("object"), nullptr),
      envelope(plist_new_uint(7), nullptr, nullptr),
      envelope(plist_new_string("Bad"), plist_new_uint(7), nullptr),
      envelope(plist_new_string("Bad"), nullptr, plist_new_array()),
      envelope(plist_new_string("Bad"), nullptr, plist_new_string("progress")),
  };
  for (const std::string& bytes : datagrams) macstandin::BusSend(kChannel, bytes);
  const auto set = macstandin::Retained<const macstandin::CFObject>::Adopt(new CFSetObject({}));
  const auto setInside = macstandin::Retained<const CFDictionaryObject>::Adopt(
      new CFDictionaryObject({{u"progress", set}}));
  Post(nullptr, nullptr, nullptr);
  Post(CFSTR("Bad"), set.Get(), nullptr);
  Post(CFSTR("Bad"), nullptr, setInside.Get());
  Post(CFSTR("Good"), nullptr, nullptr);
  const std::vector<Delivery> got = deliveries.Until("all");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].name, "Good");
  EXPECT_EQ(got[0].userInfo, std::nullopt);
}

TEST_F(DistributedCenter, RemovalWaitsForTheCallbackOnTheMainLoopAndNoneRunsAfterIt) {
  SlowObserver slow;
  CFNotificationCenterAddObserver(Center(), &slow, &SlowObserver::Run, CFSTR("Slow"), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  Deliveries marker;
  marker.Observe("marker", CFSTR("Marker"), nullptr);
  std::thread remover([&] {
    ExpectRemovalToWaitForTheCallback(
        slow, [&] { CFNotificationCenterRemoveObserver(Center(), &slow, CFSTR("Slow"), nullptr); });
  });
  Post(CFSTR("Slow"), nullptr, nullptr);
  EXPECT_TRUE(RunMainLoopUntil([&] { return slow.finished.load(); }));
  remover.join();
  // Sent after a second "Slow", the marker arrives after it would have.
  Post(CFSTR("Slow"), nullptr, nullptr);
  Post(CFSTR("Marker"), nullptr, nullptr);
  marker.Until("marker");
  EXPECT_EQ(slow.runs, 1);
}

TEST_F(DistributedCenter, ObserverRemovesItselfInItsCallbackAndTheListenerGoesWithTheLastObserver) {
  EXPECT_EQ(Listeners(), 0u);
  SelfRemovingObserver once;
  CFNotificationCenterAddObserver(Center(), &once, &SelfRemovingObserver::Run, CFSTR("Once"), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  {
    Deliveries marker;
    marker.Observe("marker", CFSTR("Marker"), nullptr);
    EXPECT_EQ(Listeners(), 1u);
    for (int post = 0; post < 2; ++post) {
      Post(CFSTR("Once"), nullptr, nullptr);
      Post(CFSTR("Marker"), nullptr, nullptr);
      marker.Until("marker");
      EXPECT_EQ(once.runs, 1);
    }
  }
  EXPECT_EQ(Listeners(), 0u);
  // Listening again, until the last observer leaves from inside its own callback.
  SelfRemovingObserver last;
  CFNotificationCenterAddObserver(Center(), &last, &SelfRemovingObserver::Run, CFSTR("Last"), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  EXPECT_EQ(Listeners(), 1u);
  Post(CFSTR("Last"), nullptr, nullptr);
  EXPECT_TRUE(RunMainLoopUntil([&] { return last.runs == 1; }));
  EXPECT_EQ(Listeners(), 0u);
}

}  // namespace
