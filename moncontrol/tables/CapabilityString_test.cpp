#include "moncontrol/tables/CapabilityString.h"

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace {

// The string with its terminating NUL in a heap block of exactly that size, so that
// AddressSanitizer reports any read outside it.
TextMap Parse(const std::string& text) {
  auto bytes = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
  return ParseCapabilityString(bytes.get(), static_cast<std::uint32_t>(text.size() + 1));
}

struct CapabilityCase {
  const char* what;
  std::string caps;
  TextMap tags;
};

TEST(CapabilityStringTest, SplitsTheTopLevelTags) {
  const CapabilityCase cases[] = {
      {"the tags",
       "(prot(monitor)type(LCD)vcp(02 10 12 C6(02 00 80) F8(05(00 01)))mccs_ver(2.2))",
       {{"prot", "monitor"}, {"type", "LCD"}, {"vcp", "02 10 12 C6(02 00 80) F8(05(00 01))"}, {"mccs_ver", "2.2"}}},
      {"spaces belong to the next tag", "(prot(monitor) type(LCD) vcp(10))",
       {{"prot", "monitor"}, {" type", "LCD"}, {" vcp", "10"}}},
      {"first text kept", "(vcp(10)vcp(12))", {{"vcp", "10"}}},
      {"empty text", "(cmds()vcp(10))", {{"cmds", ""}, {"vcp", "10"}}},
      {"stray closing parenthesis", "(a)b(1)c(2))", {{"a)b", "1"}, {"c", "2"}}},
      {"text left open", "(a(1)b(2)", {{"a", "1"}}},
      {"no opening parenthesis", "vcp(10))", {}},
      {"no closing parenthesis", "(vcp(10)", {}},
      {"text after the closing parenthesis", "(vcp(10))x", {}},
      {"nothing inside", "()", {}},
  };
  for (const CapabilityCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Parse(c.caps), c.tags);
  }
}

TEST(CapabilityStringTest, RefusesStringsTooShortToHoldParentheses) {
  for (const std::uint32_t length : {0u, 1u}) {
    SCOPED_TRACE(length);
    auto one = std::make_unique<char[]>(1);
    one[0] = '(';
    EXPECT_EQ(ParseCapabilityString(one.get(), length), TextMap{});
  }
  EXPECT_EQ(ParseCapabilityString(nullptr, 10), TextMap{});
}

}  // namespace
