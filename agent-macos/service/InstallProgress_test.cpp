// Installers' progress reports reaching the server: by distributed notification and by the
// app group's "installStatus" key.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/commands/InstallProgressInfo.h"
#include "agent-macos/service/ServiceWithServerTest.h"
#include "agent-macos/testing/MacRoot.h"
#include "agent-macos/testing/MainLoop.h"
#include "agent-macos/testing/Plist.h"
#include "foundation/clock/Clock.h"

using nlohmann::json;
using namespace agentmactest;

namespace {

// The value of an XML property list's root, released with the holder.
class PlistValue {
 public:
  explicit PlistValue(const std::string& root) {
    const std::string xml = XmlPlist(root);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(xml.data()),
                                  static_cast<CFIndex>(xml.size()));
    m_value = CFPropertyListCreateWithData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr, nullptr);
    CFRelease(data);
  }
  PlistValue(const PlistValue&) = delete;
  PlistValue& operator=(const PlistValue&) = delete;
  ~PlistValue() {
    if (m_value) CFRelease(m_value);
  }
  CFPropertyListRef get() const { return m_value; }

 private:
  CFPropertyListRef m_value = nullptr;
};

using Members = std::vector<std::pair<std::string, std::string>>;

Members report(const std::string& sn, long long progress, long long state, const std::string& context) {
  return {{"progress", PlistInteger(progress)},
          {"sn", PlistString(sn)},
          {"state", PlistInteger(state)},
          {"context", PlistString(context)}};
}

Members without(Members members, const std::string& key) {
  std::erase_if(members, [&](const auto& m) { return m.first == key; });
  return members;
}

Members with(Members members, const std::string& key, const std::string& value) {
  for (auto& m : members)
    if (m.first == key) m.second = value;
  return members;
}

const Members kComplete = report("A1", 40, 1, "writing");

TEST(InstallProgressInfoTest, OnlyTheFourKeysWithTheirTypesMakeAReport) {
  const struct {
    const char* label;
    std::string root;
    bool complete;
  } cases[] = {
      {"complete", PlistDict(kComplete), true},
      {"another key beside them", PlistDict([] {
         Members members = kComplete;
         members.emplace_back("percent", PlistInteger(41));
         return members;
       }()),
       true},
      {"progress as text", PlistDict(with(kComplete, "progress", PlistString("40"))), false},
      {"state as text", PlistDict(with(kComplete, "state", PlistString("1"))), false},
      {"serial as number", PlistDict(with(kComplete, "sn", PlistInteger(7))), false},
      {"context as number", PlistDict(with(kComplete, "context", PlistInteger(7))), false},
      {"progress with a fraction", PlistDict(with(kComplete, "progress", "<real>40.5</real>")), false},
      {"progress as a whole real", PlistDict(with(kComplete, "progress", "<real>40</real>")), true},
      {"progress as a boolean", PlistDict(with(kComplete, "progress", "<true/>")), false},
      {"no context", PlistDict(without(kComplete, "context")), false},
      {"no serial", PlistDict(without(kComplete, "sn")), false},
      {"an array", PlistArray({PlistDict(kComplete)}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const PlistValue value(c.root);
    ASSERT_NE(value.get(), nullptr);
    const std::optional<InstallProgressInfo> info = installProgressInfoIn(value.get());
    ASSERT_EQ(info.has_value(), c.complete);
    if (!info) continue;
    EXPECT_EQ(info->progress, 40);
    EXPECT_EQ(info->sn, "A1");
    EXPECT_EQ(info->state, 1);
    EXPECT_EQ(info->context, "writing");
  }
  EXPECT_FALSE(installProgressInfoIn(nullptr));
}

class InstallProgressTest : public ServiceWithServerTest {
 protected:
  // The one "firmwareUpdateProgress" layout, checked key by key.
  static void ExpectProgress(const json& message, const std::string& sn, int progress, int state,
                             const std::string& context, int userId) {
    EXPECT_EQ(message.at("type"), "firmwareUpdateProgress");
    EXPECT_EQ(message.at("hostName"), "Test Mac");
    ASSERT_EQ(message.at("monitorList").size(), 1u);
    const json& entry = message.at("monitorList")[0];
    EXPECT_EQ(entry.at("index"), 0);
    EXPECT_EQ(entry.at("serialNumber"), sn);
    const json& process = entry.at("updateProcessInfo");
    EXPECT_EQ(process.at("updateStatus"), progress);
    EXPECT_EQ(process.at("updateFlag"), state);
    EXPECT_EQ(process.at("updateContent"), context);
    EXPECT_EQ(process.at("userId"), userId);
  }
  static std::string ProgressLine(const std::string& sn, int progress, int state, const std::string& context) {
    return "[Info] " + sn + " - update progress \xEF\xBC\x9A" + std::to_string(progress) +
           "% - state: " + std::to_string(state) + " - context: " + context + "\n";
  }
  static void WriteInstallStatus(CFPropertyListRef value) {
    CFPreferencesSetAppValue(kInstallStatusKey, value, kInstallerSuiteName);
    ASSERT_TRUE(CFPreferencesAppSynchronize(kInstallerSuiteName));
  }
  static bool InstallStatusPresent() {
    CFPropertyListRef value = CFPreferencesCopyAppValue(kInstallStatusKey, kInstallerSuiteName);
    if (value) CFRelease(value);
    return value != nullptr;
  }
};

void postProgress(CFDictionaryRef userInfo) {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDistributedCenter(), InstallProgressUpdateNotification,
                                       nullptr, userInfo, true);
}

TEST_F(InstallProgressTest, NotificationsAreRelayedWithTheUserIdAndMistypedOnesDropped) {
  testkit::MgmtServer server;
  Connect(server);
  service_.m_sUserId = 5;
  service_.addObservers();
  LogMark mark;
  const PlistValue progressAsText(PlistDict(with(kComplete, "progress", PlistString("40"))));
  const PlistValue noContext(PlistDict(without(kComplete, "context")));
  const PlistValue complete(PlistDict(kComplete));
  // Delivered in the order posted: once the complete one is in, the others were handled.
  for (const PlistValue* info : {&progressAsText, &noContext, &complete})
    postProgress(static_cast<CFDictionaryRef>(info->get()));
  ASSERT_TRUE(RunMainLoopUntil([&] { return server.Messages().size() >= 1; }));
  service_.removeObservers();

  const std::vector<json> received = Received(server, 0);
  ASSERT_EQ(received.size(), 1u);
  ExpectProgress(received[0], "A1", 40, 1, "writing", 5);
  EXPECT_NE(server.Messages()[0].data.find("\"updateStatus\":40,"), std::string::npos) << server.Messages()[0].data;
  const std::string logged = mark.Since();
  EXPECT_TRUE(logged.starts_with(ProgressLine("A1", 40, 1, "writing") + "[Info] Message sent successfully.")) << logged;
  EXPECT_EQ(logged.find("update progress", logged.find('\n')), std::string::npos) << logged;
}

// Runs one scripted step at each of the poll's one-second sleeps, then ends the loop.
class StepClock final : public tarvik::Clock {
 public:
  StepClock(TarvikService& service, std::vector<std::function<void()>> steps)
      : m_service(service), m_steps(std::move(steps)) {}
  TimePoint Now() override { return {}; }
  WallTime WallNow() override { return {}; }
  void SleepFor(Duration duration) override {
    EXPECT_EQ(duration, std::chrono::seconds(1));
    if (m_next < m_steps.size()) m_steps[m_next++]();
    if (m_next == m_steps.size()) m_service.isRunning = false;
  }

 private:
  TarvikService& m_service;
  std::vector<std::function<void()>> m_steps;
  std::size_t m_next = 0;
};

TEST_F(InstallProgressTest, InstallStatusWaitsForTheConnectionAndIsRemovedWhenRead) {
  testkit::MgmtServer server;
  const PlistValue written(PlistDict(report("B2", 70, 2, "verifying")));
  const PlistValue noContext(PlistDict(without(report("B2", 80, 2, "x"), "context")));
  WriteInstallStatus(written.get());
  LogMark mark;
  StepClock clock(service_, {
                                [&] {
                                  EXPECT_TRUE(InstallStatusPresent()) << "read while disconnected";
                                  Connect(server);
                                },
                                [&] {
                                  EXPECT_FALSE(InstallStatusPresent());
                                  EXPECT_TRUE(server.WaitForMessages(1));
                                  WriteInstallStatus(noContext.get());
                                },
                                [&] { EXPECT_FALSE(InstallStatusPresent()) << "an incomplete one stays"; },
                            });
  tarvik::SetCurrentClock(&clock);
  service_.pollInstallStatus();
  tarvik::SetCurrentClock(nullptr);

  const std::vector<json> received = Received(server, 0);
  ASSERT_EQ(received.size(), 1u);
  ExpectProgress(received[0], "B2", 70, 2, "verifying", 1);
  EXPECT_NE(mark.Since().find(ProgressLine("B2", 70, 2, "verifying")), std::string::npos) << mark.Since();
  EXPECT_EQ(mark.Since().find("80%"), std::string::npos);
}

TEST_F(InstallProgressTest, NoHandlerActsOnceTheStopHasBegun) {
  testkit::MgmtServer server;
  Connect(server);
  service_.nUSBDeviceChangedCount = 0;
  service_.stopBegun = true;
  LogMark mark;
  const PlistValue complete(PlistDict(kComplete));
  const PlistValue heartbeat(PlistDict({{"command", PlistString("ImmediatelyHeartbeat")}}));
  service_.onInstallProgressUpdate(static_cast<CFDictionaryRef>(complete.get()));
  service_.onServiceCommand(static_cast<CFDictionaryRef>(heartbeat.get()));
  service_.onUSBDeviceEvent("USB device removed.", 0);
  service_.onUSBDeviceChanged();
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  EXPECT_EQ(mark.Since(), "");
  EXPECT_FALSE(service_.isImmediatelyHeartbeat);
  EXPECT_EQ(service_.nUSBDeviceChangedCount, 0);
  // Whatever was sent comes before this.
  service_.sendMessage(json{{"type", "end"}});
  ASSERT_TRUE(server.WaitForMessages(1));
  EXPECT_EQ(Received(server, 0)[0].at("type"), "end");
  service_.stopBegun = false;
}

}  // namespace
