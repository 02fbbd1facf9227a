#include "agent-macos/settings/SettingValues.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingValuesTest, PortIsADecimalWithAnOptionalSignAndNothingElse) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> port;
  };
  const Case cases[] = {
      {"8443", 8443},        {"+8443", 8443},      {"-1", -1},         {"0", 0},
      {"70000", 70000},      {"9223372036854775807", INT64_MAX},       {"", std::nullopt},
      {"+", std::nullopt},   {"-", std::nullopt},  {"+-1", std::nullopt}, {"++1", std::nullopt},
      {" 1", std::nullopt},  {"1 ", std::nullopt}, {"0x10", std::nullopt}, {"12a", std::nullopt},
      {"9223372036854775808", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parsePort(c.text), c.port) << '"' << c.text << '"';
}

TEST(SettingValuesTest, LogLevelInAnyCaseAndInfoForAnythingElse) {
  struct Case {
    const char* text;
    LogLevel level;
  };
  for (const Case& c : {Case{"info", LogLevel::info}, Case{"WARN", LogLevel::warn}, Case{"Error", LogLevel::error},
                        Case{"debug", LogLevel::info}, Case{"", LogLevel::info}, Case{"warn ", LogLevel::info}})
    EXPECT_EQ(logLevelFromText(c.text), c.level) << '"' << c.text << '"';
}

}  // namespace
