#include "moncontrol/macos/support/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Test, EncodesEveryLengthAndReplacesNonScalars) {
  struct Case {
    const wchar_t* text;
    std::string utf8;
  };
  const wchar_t notScalar[] = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), L'b', 0};
  const Case cases[] = {
      {nullptr, ""},
      {L"", ""},
      {L"SN-0042", "SN-0042"},
      {L"\u00E9\u20AC\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {notScalar, "a\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
  };
  for (const Case& c : cases) EXPECT_EQ(WStringToUtf8(c.text), c.utf8);
}

}  // namespace
