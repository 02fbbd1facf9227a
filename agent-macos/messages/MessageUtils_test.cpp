#include "agent-macos/messages/MessageUtils.h"

#include <string>

#include <gtest/gtest.h>

#include "agent-macos/testing/MacRoot.h"

using nlohmann::json;

namespace {

TEST(VersionStringTest, ReleaseAndDebugVersions) {
  struct Case {
    std::uint16_t major, minor;
    const char* text;
  };
  for (const Case& c : {Case{1, 0, "01"}, Case{1, 2, "01.02T"}, Case{12, 34, "12.34T"}, Case{123, 5, "123.05T"},
                        Case{0, 0, "00"}, Case{65535, 65535, "65535.65535T"}}) {
    EXPECT_EQ(Utils::versionString(c.major, c.minor), c.text);
  }
}

TEST(ParseJSONTest, OnlyAnObjectComesBackAndEveryRefusalIsLogged) {
  agentmactest::MacRoot();
  struct Case {
    std::string text;
    const char* logged;
  };
  const Case refused[] = {
      {"[1, 2]", "[Info] JSON is not a dictionary.\n"},
      {"\"text\"", "[Info] JSON is not a dictionary.\n"},
      {"null", "[Info] JSON is not a dictionary.\n"},
      {"", "[Info] Failed to convert JSON string to dictionary: "},
      {"{", "[Info] Failed to convert JSON string to dictionary: "},
      {"{\"a\": 1} trailing", "[Info] Failed to convert JSON string to dictionary: "},
      {"{\"a\": \"\xc3\"}", "[Info] Invalid JSON string.\n"},
      {"{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}",
       "[Info] Failed to convert JSON string to dictionary: "},
  };
  for (const Case& c : refused) {
    agentmactest::LogMark mark;
    EXPECT_FALSE(Utils::parseJSON(c.text)) << c.text.substr(0, 40);
    EXPECT_NE(mark.Since().find(c.logged), std::string::npos) << c.text.substr(0, 40) << "\n" << mark.Since();
  }
  EXPECT_EQ(Utils::parseJSON("{}"), json::object());
  const std::optional<json> message = Utils::parseJSON(R"({"cmdid": 9007199254740993, "v": 1.5, "s": "\u00e9"})");
  ASSERT_TRUE(message);
  EXPECT_TRUE((*message)["cmdid"].is_number_integer());
  EXPECT_EQ((*message)["cmdid"].get<std::int64_t>(), 9007199254740993);
  EXPECT_TRUE((*message)["v"].is_number_float());
  // Brackets inside strings are not nesting.
  EXPECT_TRUE(Utils::parseJSON("{\"a\": \"" + std::string(1000, '[') + "\"}"));
}

}  // namespace
