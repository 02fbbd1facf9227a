#include "agent-windows/AgentMain.h"

#include <vector>

#include <gtest/gtest.h>

#include "testkit/cdrive/TempCDrive.h"
#include "testkit/clock/FakeClock.h"

namespace {

// Outside a service the console user's folder cannot be read: three tries, 1 s apart, and
// then an empty "Server" ends the start whatever the switch.
TEST(AgentStart, ThreeTriesForTheUserFolderThenEmptyServerGivesOne) {
  for (const wchar_t* commandLine : {L"\"C:\\Tarvik\\TarvikClient.exe\" /install",
                                     L"\"C:\\Tarvik\\TarvikClient.exe\" /other"}) {
    testkit::TempCDrive drive;
    testkit::FakeClock clock;
    EXPECT_EQ(RunAgent(commandLine), 1);
    EXPECT_EQ(clock.Sleeps(), (std::vector<long long>{1000, 1000}));
  }
}

}  // namespace
