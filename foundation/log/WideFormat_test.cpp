#include "foundation/log/WideFormat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>

using tarvik::FormatWide;

namespace {

struct Case {
  const char* what;
  std::function<std::wstring()> format;
  std::wstring expected;
};

void RunCases(const std::vector<Case>& cases) {
  for (const auto& c : cases) EXPECT_EQ(c.format(), c.expected) << c.what;
}

}  // namespace

TEST(WideFormat, StringsAndCharactersFollowTheWindowsConventions) {
  const char* nullNarrow = nullptr;
  const wchar_t* nullWide = nullptr;
  RunCases({
      {"%s is wide", [] { return FormatWide(L"[%s]", L"wide"); }, L"[wide]"},
      {"%ls is wide", [] { return FormatWide(L"[%ls]", L"wide"); }, L"[wide]"},
      {"%ws is wide", [] { return FormatWide(L"[%ws]", L"wide"); }, L"[wide]"},
      {"%S is narrow", [] { return FormatWide(L"[%S]", "narrow"); }, L"[narrow]"},
      {"%hs is narrow", [] { return FormatWide(L"[%hs]", "narrow"); }, L"[narrow]"},
      {"%hS is narrow", [] { return FormatWide(L"[%hS]", "narrow"); }, L"[narrow]"},
      {"%lS is wide", [] { return FormatWide(L"[%lS]", L"wide"); }, L"[wide]"},
      {"narrow text is UTF-8 (the ANSI code page)", [] { return FormatWide(L"%S", "caf\xc3\xa9"); }, L"caf\u00e9"},
      {"wide text beyond ASCII", [] { return FormatWide(L"%s", L"\u00e9\u4e2d"); }, L"\u00e9\u4e2d"},
      {"null wide string", [=] { return FormatWide(L"[%s]", nullWide); }, L"[(null)]"},
      {"null narrow string", [=] { return FormatWide(L"[%S]", nullNarrow); }, L"[(null)]"},
      {"null string with precision", [=] { return FormatWide(L"[%.3hs]", nullNarrow); }, L"[(nu]"},
      {"width right-aligns", [] { return FormatWide(L"[%6s]", L"ab"); }, L"[    ab]"},
      {"- left-aligns", [] { return FormatWide(L"[%-6s]", L"ab"); }, L"[ab    ]"},
      {"0 pads strings with zeros (CRT)", [] { return FormatWide(L"[%04s]", L"ab"); }, L"[00ab]"},
      {"precision cuts wide", [] { return FormatWide(L"[%.2s]", L"abcdef"); }, L"[ab]"},
      {"precision cuts narrow", [] { return FormatWide(L"[%.2S]", "abcdef"); }, L"[ab]"},
      {"precision reads no further", [] { static const char unterminated[2] = {'x', 'y'};
                                          return FormatWide(L"[%.2S]", unterminated); }, L"[xy]"},
      {"* width and precision", [] { return FormatWide(L"[%*.*s]", 5, 2, L"abcdef"); }, L"[   ab]"},
      {"negative * width left-aligns", [] { return FormatWide(L"[%*s]", -4, L"ab"); }, L"[ab  ]"},
      {"negative * precision is none", [] { return FormatWide(L"[%.*s]", -1, L"abc"); }, L"[abc]"},
      {"%c is wide", [] { return FormatWide(L"[%c]", L'\u00e9'); }, L"[\u00e9]"},
      {"%lc %wc are wide", [] { return FormatWide(L"[%lc%wc]", L'a', L'b'); }, L"[ab]"},
      {"%C %hc are narrow", [] { return FormatWide(L"[%C%hc]", 'x', 'y'); }, L"[xy]"},
      {"%c with width", [] { return FormatWide(L"[%3c]", L'z'); }, L"[  z]"},
      {"%%", [] { return FormatWide(L"100%% of %s", L"it"); }, L"100% of it"},
  });
}

TEST(WideFormat, IntegerSizesAreThoseOfWindows) {
  RunCases({
      {"%d", [] { return FormatWide(L"%d", -42); }, L"-42"},
      {"%i", [] { return FormatWide(L"%i", 42); }, L"42"},
      {"%u of -1", [] { return FormatWide(L"%u", -1); }, L"4294967295"},
      {"%lx is 32-bit", [] { return FormatWide(L"%lx", std::uint32_t{0xDEADBEEF}); }, L"deadbeef"},
      {"%lX is 32-bit", [] { return FormatWide(L"%lX", std::uint32_t{0xDEADBEEF}); }, L"DEADBEEF"},
      {"%ld of a negative 32-bit value", [] { return FormatWide(L"%ld", std::int32_t{-2}); }, L"-2"},
      {"%lu of 0xFFFFFFFF", [] { return FormatWide(L"%lu", std::uint32_t{0xFFFFFFFF}); }, L"4294967295"},
      {"%lo", [] { return FormatWide(L"%lo", std::uint32_t{8}); }, L"10"},
      {"32-bit arguments after many others (stack slots)",
       [] { return FormatWide(L"%ld %ld %ld %ld %ld %ld %ld %lx", 1, 2, 3, 4, 5, 6, std::int32_t{-7},
                              std::uint32_t{0x80000000}); },
       L"1 2 3 4 5 6 -7 80000000"},
      {"%lld", [] { return FormatWide(L"%lld", static_cast<long long>(INT64_MIN)); }, L"-9223372036854775808"},
      {"%llx", [] { return FormatWide(L"%llx", 0x123456789ABCDEF0ULL); }, L"123456789abcdef0"},
      {"%I64d", [] { return FormatWide(L"%I64d", static_cast<long long>(-5000000000LL)); }, L"-5000000000"},
      {"%I64X", [] { return FormatWide(L"%I64X", 0xFFFFFFFFFFULL); }, L"FFFFFFFFFF"},
      {"%I32x", [] { return FormatWide(L"%I32x", 0xABCDu); }, L"abcd"},
      {"%Iu is pointer-sized", [] { return FormatWide(L"%Iu", static_cast<std::size_t>(1) << 40); }, L"1099511627776"},
      {"%zu", [] { return FormatWide(L"%zu", static_cast<std::size_t>(123)); }, L"123"},
      {"%hd truncates to short", [] { return FormatWide(L"%hd", 0x18000); }, L"-32768"},
      {"%hx truncates to short", [] { return FormatWide(L"%hx", 0x12345); }, L"2345"},
      {"%hhx truncates to char", [] { return FormatWide(L"%hhx", 0x1FF); }, L"ff"},
      {"%05d", [] { return FormatWide(L"%05d", -42); }, L"-0042"},
      {"%-5d|", [] { return FormatWide(L"%-5d|", 42); }, L"42   |"},
      {"%+d", [] { return FormatWide(L"%+d", 42); }, L"+42"},
      {"% d", [] { return FormatWide(L"% d", 42); }, L" 42"},
      {"%#x", [] { return FormatWide(L"%#x", 255); }, L"0xff"},
      {"%#X", [] { return FormatWide(L"%#X", 255); }, L"0XFF"},
      {"%#x of 0", [] { return FormatWide(L"%#x", 0); }, L"0"},
      {"%#o", [] { return FormatWide(L"%#o", 8); }, L"010"},
      {"%02x", [] { return FormatWide(L"%02x", 0xA); }, L"0a"},
      {"%02X of a byte", [] { return FormatWide(L"%02X", static_cast<unsigned char>(0x1F)); }, L"1F"},
      {"%.3d", [] { return FormatWide(L"%.3d", 7); }, L"007"},
      {"%.0d of 0 is empty", [] { return FormatWide(L"[%.0d]", 0); }, L"[]"},
      {"precision disables 0", [] { return FormatWide(L"[%06.3d]", 7); }, L"[   007]"},
      {"%*d", [] { return FormatWide(L"[%*d]", 4, 7); }, L"[   7]"},
      {"%p", [] { return FormatWide(L"%p", reinterpret_cast<void*>(0x1234)); }, L"0000000000001234"},
  });
}

#if defined(__x86_64__)
// Callers pass the widths their formats name; here a 64-bit argument under %lx shows which
// width the formatter reads: a 32-bit read (the Windows one) sees only the low half.
TEST(WideFormat, LongIsReadAsThirtyTwoBits) {
  EXPECT_EQ(FormatWide(L"%lx", 0xDEADBEEF00000001ULL), L"1");
  EXPECT_EQ(FormatWide(L"%lx %llx", 0xDEADBEEF00000001ULL, 0xDEADBEEF00000002ULL), L"1 deadbeef00000002");
}
#endif

TEST(WideFormat, FloatingPoint) {
  RunCases({
      {"%f", [] { return FormatWide(L"%f", 1.5); }, L"1.500000"},
      {"%.2f", [] { return FormatWide(L"%.2f", 3.14159); }, L"3.14"},
      {"%8.3f", [] { return FormatWide(L"[%8.3f]", -2.5); }, L"[  -2.500]"},
      {"%-8.1f", [] { return FormatWide(L"[%-8.1f]", 2.25); }, L"[2.2     ]"},
      {"%e", [] { return FormatWide(L"%e", 12345.0); }, L"1.234500e+04"},
      {"%g", [] { return FormatWide(L"%g", 0.0001); }, L"0.0001"},
      {"%lf", [] { return FormatWide(L"%lf", 2.0); }, L"2.000000"},
      {"%*.*f", [] { return FormatWide(L"[%*.*f]", 6, 1, 9.75); }, L"[   9.8]"},
  });
}

TEST(WideFormat, BadFormatsAreCopiedAndNeverCrash) {
  RunCases({
      {"trailing %", [] { return FormatWide(L"50%"); }, L"50%"},
      {"format ends in a width", [] { return FormatWide(L"x%5"); }, L"x%5"},
      {"format ends in a size", [] { return FormatWide(L"x%-08.3l"); }, L"x%-08.3l"},
      {"unknown letter", [] { return FormatWide(L"%q and %d", 5); }, L"%q and 5"},
      {"%n writes nothing", [] { return FormatWide(L"a%nb"); }, L"a%nb"},
      {"null format", [] { return FormatWide(nullptr); }, L""},
      {"empty format", [] { return FormatWide(L""); }, L""},
  });
}

TEST(WideFormat, HugeFieldsAreCapped) {
  const auto cap = static_cast<std::size_t>(tarvik::kMaxWideFormatField);
  EXPECT_EQ(FormatWide(L"%99999999999999999999d", 1).size(), cap);
  EXPECT_EQ(FormatWide(L"%*d", INT_MIN, 1).size(), cap);
  EXPECT_EQ(FormatWide(L"%.99999999d", 1).size(), cap);
  EXPECT_EQ(FormatWide(L"%.99999999f", 1.0).size(), cap + 2);
  EXPECT_EQ(FormatWide(L"%99999999s", L"x").size(), cap);
}
