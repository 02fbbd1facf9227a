#include "agent-macos/service/TarvikService.h"

#include <errno.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "agent-macos/log/Log.h"
#include "agent-macos/service/TaskWait.h"
#include "agent-macos/testing/MacRoot.h"
#include "agent-macos/testing/Plist.h"
#include "foundation/clock/Clock.h"

namespace fs = std::filesystem;
using namespace agentmactest;

namespace {

TEST(TarvikServiceTest, StartsUnconnectedWithTheDefaultServerSettings) {
  MacRoot();
  TarvikService service;
  EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::uninitialized);
  EXPECT_STREQ(textOf(service.webSocketStatus), "uninitialized");
  EXPECT_TRUE(service.isRunning);
  EXPECT_FALSE(service.isConnected);
  EXPECT_EQ(service.webSocketTask, nullptr);
  EXPECT_EQ(service.Host, "");
  EXPECT_EQ(service.Port, 443);
  EXPECT_TRUE(service.isSSL);
  EXPECT_EQ(service.Folder, "tarvik");
  EXPECT_EQ(service.m_sUserId, 1);
  EXPECT_EQ(service.nUSBDeviceChangedCount, 10);
  EXPECT_EQ(service.intervalHeartbeat, 10.0);
  EXPECT_EQ(service.intervalRunDisplayCommand, 10.0);
  EXPECT_EQ(service.intervalUpdateMonitor, 10.0);
  EXPECT_FALSE(service.isTask1Running || service.isTask2Running || service.isTask4Running || service.isTask5Running);
}

// Sets the wake-up flag from inside the wait, as another thread would, at one step of it.
class WakingClock final : public tarvik::Clock {
 public:
  WakingClock(std::atomic<bool>& wake, int wakeAtSleep) : m_wake(wake), m_wakeAt(wakeAtSleep) {}
  TimePoint Now() override { return {}; }
  WallTime WallNow() override { return {}; }
  void SleepFor(Duration duration) override {
    EXPECT_EQ(duration, std::chrono::milliseconds(100));
    if (++sleeps == m_wakeAt) m_wake = true;
  }
  int sleeps = 0;

 private:
  std::atomic<bool>& m_wake;
  const int m_wakeAt;
};

TEST(TaskWaitTest, StepsOfATenthUntilTheIntervalOrTheWakeUp) {
  struct Case {
    double interval;
    bool wokenBefore;
    int wakeAtSleep;  // 0: never
    int sleeps;
    double timer;
  };
  const Case cases[] = {
      {10.0, false, 0, 101, 10.1},  // the sum of 100 tenths is just below 10
      {1.0, false, 0, 11, 1.1},
      {10.0, true, 0, 0, 0.0},
      {10.0, false, 3, 3, 0.3},
      {0.0, false, 0, 0, 0.0},
  };
  for (const Case& c : cases) {
    std::atomic<bool> wake{c.wokenBefore};
    WakingClock clock(wake, c.wakeAtSleep);
    tarvik::SetCurrentClock(&clock);
    double timer = 42.0;
    waitWithWakeUp(c.interval, wake, timer);
    tarvik::SetCurrentClock(nullptr);
    EXPECT_EQ(clock.sleeps, c.sleeps) << c.interval << " " << c.wakeAtSleep;
    EXPECT_NEAR(timer, c.timer, 1e-9) << c.interval << " " << c.wakeAtSleep;
    EXPECT_FALSE(wake);
  }
}

struct Settings {
  std::string host;
  std::int64_t port;
  bool ssl;
  std::string folder;
  bool operator==(const Settings&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Settings& s) {
  return out << s.host << ":" << s.port << (s.ssl ? " tls " : " plain ") << s.folder;
}

// Ends the monitor-update task once it has idled a few times, and restarts the countdown once.
class CountdownClock final : public tarvik::Clock {
 public:
  explicit CountdownClock(TarvikService& service) : m_service(service) {}
  TimePoint Now() override { return {}; }
  WallTime WallNow() override { return {}; }
  void SleepFor(Duration duration) override {
    if (duration == std::chrono::seconds(2) && ++pauses == 5) m_service.nUSBDeviceChangedCount = 10;
    if (duration == std::chrono::seconds(1) && ++idles == 3) m_service.isRunning = false;
  }
  int pauses = 0;
  int idles = 0;

 private:
  TarvikService& m_service;
};

TEST(UpdateMonitorTaskTest, TenRefreshesAfterEachChangeThenIdleSeconds) {
  MacRoot();
  TarvikService service;
  CountdownClock clock(service);
  tarvik::SetCurrentClock(&clock);
  service.updateMonitorTask();
  tarvik::SetCurrentClock(nullptr);
  // Four refreshes of the first ten, then ten anew after the reset during the fifth.
  EXPECT_EQ(clock.pauses, 14);
  EXPECT_EQ(clock.idles, 3);
  EXPECT_EQ(service.nUSBDeviceChangedCount, 0);
  EXPECT_FALSE(service.isTask4Running);
}

// The settings as a test sets them up: a profile in the current directory, managed preferences
// and user defaults under the test's Mac root.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MacRoot();
    folder_ = fs::path(MacRoot()) / ("settings-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(folder_);
    previous_ = fs::current_path();
    fs::current_path(folder_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(folder_);
    fs::remove_all(MacRoot() + "/Library");
    fs::remove_all(MacRoot() + HomeFolder());
    Utils::setLogLevel(LogLevel::info);
  }

  void WriteProfile(const std::string& text) const {
    std::ofstream(folder_ / "TarvikConfig.mobileconfig.partial", std::ios::binary) << text;
    fs::rename(folder_ / "TarvikConfig.mobileconfig.partial", folder_ / "TarvikConfig.mobileconfig");
  }
  static void WriteManaged(const std::vector<std::pair<std::string, std::string>>& members) {
    WriteMacFile("/Library/Managed Preferences/com.quelmo.tarvik.plist", XmlPlist(PlistDict(members)));
  }
  static void WriteUserDefaults(const std::vector<std::pair<std::string, std::string>>& members) {
    const std::string program = fs::read_symlink("/proc/self/exe").filename().string();
    WriteMacFile(HomeFolder() + "/Library/Preferences/" + program + ".plist", XmlPlist(PlistDict(members)));
  }
  static std::string HomeFolder() {
    const passwd* user = ::getpwuid(::geteuid());
    return ::geteuid() == 0 ? "/var/root" : "/Users/" + std::string(user ? user->pw_name : "");
  }

  static Settings Of(const TarvikService& service) {
    std::lock_guard lock(service.settingsLock);
    return {service.Host, service.Port, service.isSSL, service.Folder};
  }

  fs::path folder_;
  fs::path previous_;
};

TEST_F(SettingsTest, AProfileAppliesOnceAndThenOnlyWhenItsServerChanges) {
  WriteProfile(MobileConfig({{"Server", PlistString("mgmt.example")},
                             {"Port", PlistString("8443")},
                             {"Protocol", PlistString("HTTPS")},
                             {"Folder", PlistString("fleet")},
                             {"LogLevel", PlistString("WARN")}}));
  TarvikService service;
  service.isSSL = false;
  LogMark mark;
  service.loadConfig();
  EXPECT_EQ(Of(service), (Settings{"mgmt.example", 8443, true, "fleet"}));
  EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::reconnect);
  EXPECT_EQ(Utils::logLevel(), LogLevel::warn);
  // Once the level is warn, the info lines of the pass are not written.
  EXPECT_EQ(mark.Since().find("MDM"), std::string::npos) << mark.Since();
  Utils::setLogLevel(LogLevel::info);

  // Connected and the same server: a changed port is not applied, the level still is.
  service.webSocketStatus = TarvikWebSocketServerStatus::connected;
  WriteProfile(MobileConfig({{"Server", PlistString("mgmt.example")},
                             {"Port", PlistString("9443")},
                             {"LogLevel", PlistString("error")}}));
  service.loadConfig();
  EXPECT_EQ(Of(service), (Settings{"mgmt.example", 8443, true, "fleet"}));
  EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::connected);
  EXPECT_EQ(Utils::logLevel(), LogLevel::error);
  Utils::setLogLevel(LogLevel::info);

  // Another server: applied, and keys the profile does not carry stay as they were.
  WriteProfile(MobileConfig({{"Server", PlistString("second.example")}, {"Port", PlistInteger(7000)}}));
  mark = LogMark();
  service.loadConfig();
  EXPECT_EQ(Of(service), (Settings{"second.example", 8443, true, "fleet"}));
  EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::reconnect);
  EXPECT_NE(mark.Since().find("[Info] Loaded mobileconfig from: " + (folder_ / "TarvikConfig.mobileconfig").string() + "\n"),
            std::string::npos);
  EXPECT_NE(mark.Since().find("[Info] MDM 配置的服务器地址: second.example\n"), std::string::npos) << mark.Since();
}

TEST_F(SettingsTest, AProfileWithoutServerIsAppliedOnEveryPass) {
  WriteProfile(MobileConfig({{"Protocol", PlistString("http")}}));
  TarvikService service;
  for (int pass = 0; pass < 2; ++pass) {
    service.webSocketStatus = TarvikWebSocketServerStatus::connected;
    LogMark mark;
    service.loadConfig();
    EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::reconnect);
    EXPECT_NE(mark.Since().find("[Info] MDM 配置的服务器地址: unknown\n"), std::string::npos) << mark.Since();
  }
  EXPECT_EQ(Of(service), (Settings{"", 443, false, "tarvik"}));
}

TEST_F(SettingsTest, WithoutAUsableProfileTheManagedPreferencesDecide) {
  WriteProfile(XmlPlist(PlistDict({{"Server", PlistString("ignored")}})));
  WriteManaged({{"Server", PlistString("managed.example")}, {"LogLevel", PlistString("nonsense")}});
  TarvikService service;
  service.Port = 1;
  service.isSSL = false;
  service.Folder = "old";
  Utils::setLogLevel(LogLevel::error);
  service.loadConfig();
  // Absent keys fall back to their defaults whenever managed settings are applied.
  EXPECT_EQ(Of(service), (Settings{"managed.example", 443, true, "tarvik"}));
  EXPECT_EQ(Utils::logLevel(), LogLevel::info);

  WriteManaged({{"Server", PlistString("managed.example")},
                {"Port", PlistString("-8")},
                {"Protocol", PlistString("ftp")},
                {"Folder", PlistString("f")}});
  service.webSocketStatus = TarvikWebSocketServerStatus::connected;
  LogMark mark;
  service.loadConfig();
  EXPECT_EQ(Of(service), (Settings{"managed.example", 443, true, "tarvik"}));
  const std::string candidates = "[\"" + (fs::path(program_invocation_name).parent_path() / "TarvikConfig.mobileconfig").string() +
                                 "\", \"" + (folder_ / "TarvikConfig.mobileconfig").string() + "\"]";
  EXPECT_NE(mark.Since().find("[Info] TarvikConfig.mobileconfig not found in expected paths: " + candidates +
                              "\n[Info] MDM 配置的服务器地址: managed.example\n"),
            std::string::npos)
      << mark.Since();
  EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::connected);

  service.webSocketStatus = TarvikWebSocketServerStatus::uninitialized;
  service.loadConfig();
  EXPECT_EQ(Of(service), (Settings{"managed.example", -8, false, "f"}));
}

TEST_F(SettingsTest, NeitherSourceLeavesTheSettingsAlone) {
  WriteManaged({{"Server", PlistInteger(5)}, {"Port", PlistString("1")}});
  TarvikService service;
  service.loadConfig();
  EXPECT_EQ(Of(service), (Settings{"", 443, true, "tarvik"}));
  EXPECT_EQ(service.webSocketStatus, TarvikWebSocketServerStatus::uninitialized);
}

TEST_F(SettingsTest, UpdateServerIpTakesTheUserDefaultsAndDisconnects) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> defaults;
    Settings expected;
  };
  const Case cases[] = {
      {{}, {"192.168.1.100", 443, true, "tarvik"}},
      {{{"Server", PlistString("u.example")}, {"Port", PlistInteger(8080)}, {"Protocol", PlistString("HTTP")},
        {"Folder", PlistString("x")}},
       {"u.example", 8080, false, "x"}},
      {{{"Port", PlistString("")}, {"Protocol", PlistString("https")}}, {"192.168.1.100", 7, true, "tarvik"}},
      {{{"Port", PlistString("junk")}, {"Protocol", PlistString("other")}}, {"192.168.1.100", 7, true, "tarvik"}},
  };
  for (const Case& c : cases) {
    WriteUserDefaults(c.defaults);
    TarvikService service;
    service.Port = 7;
    service.isConnected = true;
    LogMark mark;
    service.handleUpdateServerIp();
    EXPECT_EQ(Of(service), c.expected);
    EXPECT_NE(mark.Since().find("[Info] WebSocket is already disconnected.\n"), std::string::npos);
    // Without a connection to cancel, the flag is not the disconnect's to clear.
    EXPECT_TRUE(service.isConnected);
  }
}

}  // namespace
