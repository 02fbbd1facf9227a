#include "agent-macos/packages/ArgumentList.h"

#include <gtest/gtest.h>

namespace {

TEST(ArgumentListTest, QuotesEachWordSoThatNoneCanEndItsQuotesOrTheLine) {
  const struct {
    std::vector<std::string> words;
    std::string shown;
  } cases[] = {
      {{}, "[]"},
      {{"-sn", "SN1"}, R"(["-sn", "SN1"])"},
      {{""}, R"([""])"},
      {{"a b", "c,d"}, R"(["a b", "c,d"])"},
      {{"say \"hi\"", "C:\\x"}, R"(["say \"hi\"", "C:\\x"])"},
      {{"two\nlines\r\t", std::string("nul\0", 4), "\x1b[0m"}, R"(["two\nlines\r\t", "nul\u{0}", "\u{1b}[0m"])"},
      {{"größe"}, R"(["größe"])"},
  };
  for (const auto& c : cases) EXPECT_EQ(packages::quotedList(c.words), c.shown);
}

}  // namespace
