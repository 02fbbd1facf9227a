#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/services/RunProgram.h"
#include "testkit/sysevents/ObjectsRoot.h"
#include "testkit/sysevents/RecordingWindow.h"
#include "testkit/sysevents/SystemEvents.h"

namespace sysevents {
namespace {

using Arguments = std::vector<std::string>;

struct NamedCase {
  Arguments arguments;
  SystemMessage expected;
};

TEST(SystemEventsTest, EachNameGivesItsMessage) {
  const NamedCase cases[] = {
      {{"display-change"}, {WM_DISPLAYCHANGE, 32, (1080 << 16) | 1920}},
      {{"device-change"}, {WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0}},
      {{"suspend"}, {WM_POWERBROADCAST, PBT_APMSUSPEND, 0}},
      {{"resume-automatic"}, {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0}},
      {{"resume-suspend"}, {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0}},
      {{"query-end-session"}, {WM_QUERYENDSESSION, 0, 0}},
      {{"console-connect", "1"}, {WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 1}},
      {{"console-disconnect", "2"}, {WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 2}},
      {{"logon", "3"}, {WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON, 3}},
      {{"logoff", "0x10"}, {WM_WTSSESSION_CHANGE, WTS_SESSION_LOGOFF, 16}},
      {{"lock", "4294967295"}, {WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0xFFFFFFFF}},
      {{"unlock", "0"}, {WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0}},
      {{"raw", "0x219", "0x8000", "12"}, {WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 12}},
      {{"raw", "1", "0", "0xFFFFFFFFFFFFFFFF"}, {1, 0, -1}},
  };
  for (const NamedCase& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    EXPECT_EQ(MessageForArguments(c.arguments), c.expected);
  }
}

TEST(SystemEventsTest, ArgumentsThatNameNoMessageAreRefused) {
  const Arguments cases[] = {
      {},
      {"reboot"},
      {"Suspend"},
      {"lock"},                        // no session
      {"suspend", "1"},                // a session it does not take
      {"lock", "one"},
      {"lock", "-1"},
      {"lock", "4294967296"},          // wider than a session id
      {"lock", "0x"},
      {"raw", "0x219", "7"},
      {"raw", "0x100000000", "0", "0"},  // wider than a message
      {"raw", "0x219", "7", "0", "1"},
  };
  for (const Arguments& arguments : cases) {
    std::string shown;
    for (const std::string& a : arguments) shown += "'" + a + "' ";
    EXPECT_EQ(MessageForArguments(arguments), std::nullopt) << shown;
  }
}

TEST(SystemEventsTest, TheProgramPostsToEveryTopLevelWindowOfTheMachine) {
  ObjectsRoot root;
  RecordingWindow first;
  RecordingWindow second;
  ASSERT_NE(first.Handle(), nullptr);
  ASSERT_NE(second.Handle(), nullptr);

  testkit::ProgramResult sent = testkit::RunProgram(SEND_SYSTEM_EVENT, {"lock", "3"});
  EXPECT_EQ(sent.exitCode, 0) << sent.error;
  EXPECT_EQ(sent.output, "posted to 2 windows\n");
  for (RecordingWindow* window : {&first, &second}) {
    std::vector<ReceivedMessage> received = window->WaitForMessages(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].window, window->Handle());
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_WTSSESSION_CHANGE));
    EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(WTS_SESSION_LOCK));
    EXPECT_EQ(received[0].lParam, 3);
  }

  // A window ends with its thread, and nothing is left of it to post to.
  EXPECT_EQ(first.Quit(), 0);
  EXPECT_EQ(testkit::RunProgram(SEND_SYSTEM_EVENT, {"device-change"}).output, "posted to 1 window\n");
  EXPECT_EQ(second.WaitForMessages(2).size(), 2u);
}

TEST(SystemEventsTest, TheProgramShowsItsUsageForBadArguments) {
  ObjectsRoot root;
  RecordingWindow window;
  testkit::ProgramResult refused = testkit::RunProgram(SEND_SYSTEM_EVENT, {"lock"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.output, "");
  EXPECT_EQ(refused.error, kUsage);

  // Nothing reached the window: the next message is the first it gets.
  ASSERT_TRUE(PostMessageW(window.Handle(), WM_NULL, 0, 0));
  std::vector<ReceivedMessage> received = window.WaitForMessages(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, static_cast<UINT>(WM_NULL));
}

}  // namespace
}  // namespace sysevents
