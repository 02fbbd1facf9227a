// The texts a monitor updater takes from the library: capability keys and values, and the
// fixed-width fields of its tables.
#include "agent-macos/monitors/MonitorText.h"

#include <cstring>

#include <gtest/gtest.h>

#include "agent-macos/testing/MacRoot.h"

namespace {

using agentmactest::LogMark;

TEST(MonitorTextTest, VcpCodesAreSixteenBitHexNumbers) {
  agentmactest::MacRoot();
  const struct {
    const char* text;
    std::uint16_t code;
    bool logged;
  } cases[] = {{"10", 0x10, false},    {"F821", 0xF821, false}, {"f821", 0xF821, false}, {"+0C", 0x0C, false},
               {"-0", 0, false},       {"FFFF", 0xFFFF, false}, {"GG", 0, true},         {"", 0, true},
               {"10000", 0, true},     {"-1", 0, true},         {"1 0", 0, true},        {"+", 0, true},
               {"0000000010", 0x10, false}};
  for (const auto& c : cases) {
    LogMark mark;
    EXPECT_EQ(parseVcpCode(c.text), c.code) << c.text;
    EXPECT_EQ(mark.Since().find("Invalid VCP code string: " + std::string(c.text) + "\n") != std::string::npos,
              c.logged)
        << c.text;
  }
}

TEST(MonitorTextTest, ValueTextsArePairsOfHexDigits) {
  const struct {
    const char* text;
    std::vector<std::uint16_t> words;
  } cases[] = {{"01 02 03", {1, 2, 3}}, {"00 01 0F", {0, 1, 15}}, {"1 02", {}},    {"0102", {1, 2}},
               {"", {}},                {"0G", {}},               {"FF", {255}}, {" 8 0 ", {0x80}}};
  for (const auto& c : cases) EXPECT_EQ(parseHexWords(c.text), c.words) << c.text;
  EXPECT_FALSE(parseHexBytes("012").has_value());
  EXPECT_EQ(parseHexBytes(""), std::vector<std::uint8_t>{});
}

TEST(MonitorTextTest, FixedWidthFieldsStopAtTheirZeroOrTheirWidthAndAreValidUtf8) {
  const struct {
    std::string bytes;  // the field, its width its size
    std::string text;
  } cases[] = {{std::string("A1\0\0", 4), "A1"},
               {"QLMX", "QLMX"},  // no zero: the whole width, nothing beyond it
               {std::string("\xC3\xA9\0\0", 4), "\xC3\xA9"},
               {std::string("a\xFF" "b\0", 4), "a\xEF\xBF\xBD" "b"},
               {"ab\xE2\x82", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},  // a sequence cut by the width
               {std::string("\xED\xA0\x80\0", 4), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}};  // no surrogates
  for (const auto& c : cases) EXPECT_EQ(fixedWidthText(c.bytes.data(), c.bytes.size()), c.text);
}

TEST(MonitorTextTest, MissingTablesAreSaidAndGiveNoText) {
  agentmactest::MacRoot();
  LogMark mark;
  EXPECT_FALSE(specialIDString(nullptr).has_value());
  EXPECT_FALSE(vendorIDString(nullptr).has_value());
  EXPECT_NE(mark.Since().find("Failed to retrieve special ID.\n[Info] Failed to retrieve vendor ID.\n"), std::string::npos)
      << mark.Since();
  tagZunMONITORINFO table{};
  std::memcpy(table.specialID, "A1", 2);
  std::memcpy(table.vendorID, "QLMO", 4);
  EXPECT_EQ(specialIDString(&table), "A1");
  EXPECT_EQ(vendorIDString(&table), "QLMO");
}

}  // namespace
