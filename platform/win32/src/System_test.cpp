#include <cctype>
#include <cstring>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

namespace {

TEST(ComputerNameTest, NetBiosFormOfTheHostName) {
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::string expected(host, std::strcspn(host, "."));
  expected = expected.substr(0, MAX_COMPUTERNAME_LENGTH);
  for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(std::string(name), expected);
  EXPECT_EQ(size, expected.size());

  size = static_cast<DWORD>(expected.size());  // no room for the terminator
  EXPECT_FALSE(GetComputerNameA(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(size, expected.size() + 1);
}

}  // namespace
