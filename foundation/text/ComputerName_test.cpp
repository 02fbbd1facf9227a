#include "foundation/text/ComputerName.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

TEST(ComputerNameTest, TheSystemsName) {
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(GetComputerNameString(), std::string(name, size));
}

TEST(ComputerNameTest, FailureGivesEmptyAfterItsLine) {
  setenv("TARVIK_WIN32_FAIL", "GetComputerNameA", 1);
  testkit::LogCapture log;
  std::string name = GetComputerNameString();
  unsetenv("TARVIK_WIN32_FAIL");
  EXPECT_EQ(name, "");
  EXPECT_EQ(log.Errors(), std::vector<std::string>{"Failed to get computer name. Error: 5"});
}

}  // namespace
