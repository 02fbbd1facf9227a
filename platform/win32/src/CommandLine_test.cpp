#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Spawn.h"

namespace {

struct SplitCase {
  const wchar_t* line;
  std::vector<std::wstring> argv;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FollowsTheWindowsRules) {
  EXPECT_EQ(win32::SplitCommandLine(GetParam().line), GetParam().argv);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{L"prog a b", {L"prog", L"a", L"b"}},
        SplitCase{L"prog \t a  \t b ", {L"prog", L"a", L"b"}},
        SplitCase{L"\"C:\\Program Files\\x.exe\" a", {L"C:\\Program Files\\x.exe", L"a"}},
        // The program name takes no backslash escapes.
        SplitCase{L"\"C:\\dir\\\"x y", {L"C:\\dir\\x", L"y"}},
        SplitCase{L"C:\\Program Files\\x.exe", {L"C:\\Program", L"Files\\x.exe"}},
        SplitCase{L"p \"two words\" x", {L"p", L"two words", L"x"}},
        SplitCase{L"p a\\\\b", {L"p", L"a\\\\b"}},
        SplitCase{L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
        SplitCase{L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
        SplitCase{L"p \"a\\\\\"", {L"p", L"a\\"}},
        SplitCase{L"p \"a\"\"b\"", {L"p", L"a\"b"}},
        SplitCase{L"p \"\"\"\"", {L"p", L"\""}},
        SplitCase{L"p \"\" x", {L"p", L"", L"x"}},
        SplitCase{L"p \"unterminated arg", {L"p", L"unterminated arg"}},
        SplitCase{L"p a\"b c\"d", {L"p", L"ab cd"}},
        SplitCase{L"", {L""}}));

TEST(QuoteArgumentTest, JoinedArgumentsSplitBackUnchanged) {
  const std::vector<std::wstring> arguments = {
      L"plain", L"", L"two words", L"a\"b", L"trailing\\", L"a\\\"b", L"\\\\server\\share\\",
      L"tab\there", L"\"", L"new\nline", L"-sn", L"C:\\Temp\\x y\\"};
  std::wstring line = win32::JoinCommandLine(L"C:\\Program Files\\tool.exe", arguments);

  std::vector<std::wstring> expected = {L"C:\\Program Files\\tool.exe"};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  EXPECT_EQ(win32::SplitCommandLine(line), expected);
}

TEST(QuoteArgumentTest, LeavesPlainTextAlone) {
  EXPECT_EQ(win32::QuoteArgument(L"-no_delay"), L"-no_delay");
  EXPECT_EQ(win32::QuoteArgument(L"a\\b"), L"a\\b");
  EXPECT_EQ(win32::QuoteArgument(L"a b"), L"\"a b\"");
  EXPECT_EQ(win32::JoinCommandLine(L"Z:\\bin\\tool", {L"x"}), L"Z:\\bin\\tool x");
}

TEST(GetCommandLineTest, StartsWithTheProgramInWindowsForm) {
  std::vector<std::wstring> argv = win32::SplitCommandLine(GetCommandLineW());
  ASSERT_FALSE(argv.empty());
  EXPECT_EQ(argv[0], win32::CurrentImagePath());
  EXPECT_EQ(argv[0].rfind(L"Z:\\", 0), 0u);
}

}  // namespace
