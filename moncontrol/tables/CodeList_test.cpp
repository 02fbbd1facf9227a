#include "moncontrol/tables/CodeList.h"

#include <gtest/gtest.h>

namespace {

struct CodeListCase {
  const char* what;
  std::string text;
  TextMap codes;
};

TEST(CodeListTest, ParsesCodesWithTheirValueLists) {
  const CodeListCase cases[] = {
      {"nested values", "02 10 14(01 05 08) F8(03 05(00 01))",
       {{"02", ""}, {"10", ""}, {"14", "01 05 08"}, {"F8", "03 05(00 01)"}}},
      {"a value parsed again", "03 05(00 01)", {{"03", ""}, {"05", "00 01"}}},
      {"no trailing space", "10 C6(02 00 80)", {{"10", ""}, {"C6", "02 00 80"}}},
      {"runs of spaces", "  10   12 ", {{"10", ""}, {"12", ""}}},
      {"text after a value", "14(05 08)xy 16", {{"14", "05 08"}, {"16", ""}}},
      {"first value kept", "10 10(01) 12(02) 12(03)", {{"10", ""}, {"12", "02"}}},
      {"empty value", "60() 62", {{"60", ""}, {"62", ""}}},
      {"value left open", "10 60(0F 11", {{"10", ""}}},
      {"empty", "", {}},
  };
  for (const CodeListCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ParseSubCodeList(c.text), c.codes);
  }
}

TEST(CodeListTest, CodesAlreadyThereKeepTheirValues) {
  TextMap codes{{"10", "kept"}};
  ParseVcpList("10(01 02) 12", codes);
  EXPECT_EQ(codes, (TextMap{{"10", "kept"}, {"12", ""}}));
}

}  // namespace
