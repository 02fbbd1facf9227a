#include "foundation/text/TextConversion.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "testkit/logcapture/LogCapture.h"

namespace {

using namespace std::string_literals;

struct RoundTrip {
  std::wstring wide;
  std::string utf8;
};

class TextRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TextRoundTripTest, ConvertsBothWaysWithoutLogging) {
  testkit::LogCapture log;
  EXPECT_EQ(WStringToString(GetParam().wide), GetParam().utf8);
  EXPECT_EQ(StringToWString(GetParam().utf8), GetParam().wide);
  EXPECT_TRUE(log.Lines().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, TextRoundTripTest,
                         ::testing::Values(RoundTrip{L"HalvanePexon", "HalvanePexon"},
                                           RoundTrip{L"caf\u00E9", "caf\xC3\xA9"},
                                           RoundTrip{L"\U0001F600", "\xF0\x9F\x98\x80"},
                                           RoundTrip{L"a\0b"s, "a\0b"s}));

TEST(TextConversionTest, EmptyTextFailsTheSizePass) {
  testkit::LogCapture log;
  EXPECT_EQ(WStringToString(L""), "");
  EXPECT_EQ(StringToWString(""), L"");
  std::vector<std::string> expected = {
      "WStringToString Exception caught: WideCharToMultiByte failed to calculate size",
      "StringToWString Exception caught: MultiByteToWideChar failed to calculate size"};
  EXPECT_EQ(log.Errors(), expected);
}

TEST(TextConversionTest, MalformedUtf8BecomesReplacementCharacters) {
  testkit::LogCapture log;
  EXPECT_EQ(StringToWString("a\xC3(\xFF"), L"a\uFFFD(\uFFFD");
  EXPECT_TRUE(log.Lines().empty());
}

TEST(TextConversionTest, WStringToUtf8ThrowsForNonUnicode) {
  EXPECT_EQ(WStringToUtf8(L"SN-0042\u00E9"), "SN-0042\xC3\xA9");
  const wchar_t beyond[] = {static_cast<wchar_t>(0x110000), 0};
  EXPECT_THROW(WStringToUtf8(beyond), std::range_error);
}

}  // namespace
