#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "platform/macos/internal/MachineBus.h"
#include "platform/macos/internal/UsbEventMessage.h"
#include "platform/macos/testing/TempMacRoot.h"
#include "platform/macos/testing/ThreadSignals.h"

extern char** environ;

namespace {

// The tool's exit status, or -1 when it did not run to its end.
int RunTool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), POST_USB_EVENT);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(PostUsbEvent, AnnouncesOneDeviceToTheMachine) {
  macstandin::testing::TempMacRoot mac;
  std::vector<std::string> received;
  macstandin::testing::Tally tally;
  macstandin::BusReceiver receiver(macstandin::kUsbChannel, [&](const std::string& message) {
    received.push_back(message);
    tally.Add();
  });
  ASSERT_TRUE(receiver.Listening());

  EXPECT_EQ(RunTool({"removal", "stick one"}), 0);
  EXPECT_EQ(RunTool({"arrival", "hub"}), 0);

  ASSERT_TRUE(tally.Reaches(2));
  ASSERT_EQ(received.size(), 2u);
  const auto removal = macstandin::ParseUsbEventMessage(received[0]);
  const auto arrival = macstandin::ParseUsbEventMessage(received[1]);
  ASSERT_TRUE(removal && arrival);
  EXPECT_FALSE(removal->arrived);
  EXPECT_EQ(removal->name, "stick one");
  EXPECT_TRUE(arrival->arrived);
  EXPECT_EQ(arrival->name, "hub");
}

TEST(PostUsbEvent, RefusesBadArguments) {
  const std::vector<std::vector<std::string>> cases{
      {}, {"arrival"}, {"plugged", "hub"}, {"arrival", ""}, {"removal", "a", "b"}};
  for (const auto& arguments : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    EXPECT_EQ(RunTool(arguments), 2);
  }
}

}  // namespace
