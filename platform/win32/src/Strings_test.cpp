#include <gtest/gtest.h>

#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

TEST(CodePageConversion, RoundTripsUtf8AndCountsWithoutTerminatorWhenLengthGiven) {
  const std::wstring wide = L"Gr\u00fc\u00dfe \u20ac \U0001F600";
  std::string narrow = win32::WideToUtf8(wide);
  EXPECT_EQ(narrow, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x98\x80");
  EXPECT_EQ(win32::Utf8ToWide(narrow), wide);
}

TEST(CodePageConversion, MinusOneLengthIncludesTheTerminator) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab", -1, nullptr, 0, nullptr, nullptr), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "ab", -1, nullptr, 0), 3);
}

TEST(CodePageConversion, InvalidInputIsReplacedOrRefusedOnRequest) {
  const char bad[] = "a\xff" "b\xc3";  // stray byte, truncated sequence
  wchar_t out[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, bad, 4, out, 8), 4);
  EXPECT_EQ(std::wstring(out, 4), std::wstring(L"a\uFFFDb\uFFFD"));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, 4, out, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(CodePageConversion, TooSmallBufferFailsWithoutWritingPastIt) {
  char out[2] = {'x', 'x'};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u20ac", 1, out, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}
