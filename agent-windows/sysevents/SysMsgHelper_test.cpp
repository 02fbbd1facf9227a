#include "agent-windows/sysevents/SysMsgHelper.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/logcapture/LogCapture.h"

namespace {

struct Raised {
  std::string handler;
  std::int32_t event;
  WPARAM first;
  LPARAM second;
  bool operator==(const Raised&) const = default;
};

std::mutex g_raisedMutex;
std::vector<Raised> g_raised;

template <std::int32_t Event>
void Record(void* context, WPARAM first, LPARAM second) {
  std::lock_guard lock(g_raisedMutex);
  g_raised.push_back({static_cast<const char*>(context), Event, first, second});
}

std::vector<Raised> TakeRaised() {
  std::lock_guard lock(g_raisedMutex);
  return std::exchange(g_raised, {});
}

char kAgent[] = "agent";
char kFirst[] = "first";
char kSecond[] = "second";
constexpr std::int32_t kUnusedEvent = 77;

class SysMsgHelperTest : public ::testing::Test {
 protected:
  // The handler list only grows and lives as long as the process: one handler per event, as
  // the service registers them, added once for every suite of this file.
  static void SetUpTestSuite() {
    static std::once_flag added;
    std::call_once(added, AddHandlers);
  }
  void SetUp() override { TakeRaised(); }

 private:
  static void AddHandlers() {
    SysMsgHelper* helper = SysMsgHelper::GetInstance();
    helper->AddCallback(SYS_MSG_CONSOLE_CONNECT, &Record<SYS_MSG_CONSOLE_CONNECT>, kAgent);
    helper->AddCallback(SYS_MSG_CONSOLE_DISCONNECT, &Record<SYS_MSG_CONSOLE_DISCONNECT>, kAgent);
    helper->AddCallback(SYS_MSG_SESSION_LOCK, &Record<SYS_MSG_SESSION_LOCK>, kAgent);
    helper->AddCallback(SYS_MSG_SESSION_UNLOCK, &Record<SYS_MSG_SESSION_UNLOCK>, kAgent);
    helper->AddCallback(SYS_MSG_SYSTEM_SUSPEND, &Record<SYS_MSG_SYSTEM_SUSPEND>, kAgent);
    helper->AddCallback(SYS_MSG_SYSTEM_RESUME, &Record<SYS_MSG_SYSTEM_RESUME>, kAgent);
    helper->AddCallback(SYS_MSG_DISPLAY_CHANGE, &Record<SYS_MSG_DISPLAY_CHANGE>, kAgent);
    helper->AddCallback(kUnusedEvent, &Record<kUnusedEvent>, kFirst);
    helper->AddCallback(kUnusedEvent, nullptr, kSecond);
    helper->AddCallback(kUnusedEvent, &Record<kUnusedEvent>, kSecond);
  }
};

struct WindowProcCase {
  const char* name;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::optional<std::string> line;
  std::optional<Raised> raised;
  LRESULT result;
};

class WindowProcTest : public SysMsgHelperTest, public ::testing::WithParamInterface<WindowProcCase> {};

TEST_P(WindowProcTest, TurnsTheMessageIntoItsLineAndEvent) {
  const WindowProcCase& c = GetParam();
  testkit::LogCapture log;
  EXPECT_EQ(SysMsgHelper::WindowProc(nullptr, c.message, c.wParam, c.lParam), c.result);

  std::vector<testkit::LogLine> expectedLines;
  if (c.line) expectedLines.push_back({spdlog::level::info, *c.line});
  EXPECT_EQ(log.Lines(), expectedLines);
  std::vector<Raised> expectedRaised;
  if (c.raised) expectedRaised.push_back(*c.raised);
  EXPECT_EQ(TakeRaised(), expectedRaised);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, WindowProcTest,
    ::testing::Values(
        WindowProcCase{"DisplayChange", WM_DISPLAYCHANGE, 32, 0x04380780, "SYS_MSG_DISPLAY_CHANGE - WM_DISPLAYCHANGE",
                       Raised{kAgent, 101, 0, 0}, 0},
        WindowProcCase{"DeviceChangePassesItsParameters", WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0x1234,
                       std::nullopt, Raised{kAgent, 101, DBT_DEVNODES_CHANGED, 0x1234}, 0},
        WindowProcCase{"DeviceArrival", WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0, std::nullopt,
                       Raised{kAgent, 101, DBT_DEVICEARRIVAL, 0}, 0},
        WindowProcCase{"Suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, 0, "PBT_APMSUSPEND", Raised{kAgent, 11, 0, 0}, 0},
        WindowProcCase{"AutomaticResume", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, "PBT_APMRESUMEAUTOMATIC",
                       Raised{kAgent, 12, 0, 0}, 0},
        WindowProcCase{"ResumeByTheUser", WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, std::nullopt, std::nullopt, 0},
        WindowProcCase{"PowerSettingChange", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0x5000, std::nullopt,
                       std::nullopt, 0},
        WindowProcCase{"ConsoleConnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 3, "WTS_CONSOLE_CONNECT 3",
                       Raised{kAgent, 3, 0, 3}, 0},
        WindowProcCase{"ConsoleDisconnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 3, "WTS_CONSOLE_DISCONNECT",
                       Raised{kAgent, 4, 0, 0}, 0},
        WindowProcCase{"Logon", WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON, 2, "WTS_SESSION_LOGON", std::nullopt, 0},
        WindowProcCase{"Logoff", WM_WTSSESSION_CHANGE, WTS_SESSION_LOGOFF, 2, "WTS_SESSION_LOGOFF", std::nullopt, 0},
        WindowProcCase{"Lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 2, std::nullopt, Raised{kAgent, 5, 0, 0}, 0},
        WindowProcCase{"Unlock", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 2, std::nullopt, Raised{kAgent, 6, 0, 0},
                       0},
        WindowProcCase{"RemoteConnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, 4, std::nullopt, std::nullopt, 0},
        WindowProcCase{"QueryEndSessionIsNeverRefused", WM_QUERYENDSESSION, 0, 0, std::nullopt, std::nullopt, TRUE},
        WindowProcCase{"OtherMessagesGoToTheDefault", WM_NULL, 0, 0, std::nullopt, std::nullopt,
                       DefWindowProcW(nullptr, WM_NULL, 0, 0)}),
    [](const ::testing::TestParamInfo<WindowProcCase>& info) { return info.param.name; });

TEST_F(SysMsgHelperTest, EveryHandlerOfTheEventRunsInRegistrationOrder) {
  SysMsgHelper::GetInstance()->DispatchEvent(kUnusedEvent, 1, 2);
  EXPECT_EQ(TakeRaised(), (std::vector<Raised>{{kFirst, kUnusedEvent, 1, 2}, {kSecond, kUnusedEvent, 1, 2}}));

  // An event that nobody handles is dropped without a trace.
  SysMsgHelper::GetInstance()->DispatchEvent(55, 0, 0);
  EXPECT_TRUE(TakeRaised().empty());
}

}  // namespace
