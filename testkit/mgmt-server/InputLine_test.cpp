#include "testkit/mgmt-server/InputLine.h"

#include <gtest/gtest.h>

namespace testkit {
namespace {

struct InputCase {
  const char* name;
  std::string line;
  std::optional<std::string> sn;
  std::string text;
};

class InputLineTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(InputLineTest, AddressOnlyWhenThereIsANameAndAText) {
  const InputLine read = ReadInputLine(GetParam().line);
  EXPECT_EQ(read.sn, GetParam().sn);
  EXPECT_EQ(read.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, InputLineTest,
    ::testing::Values(InputCase{"ForEveryone", R"({"type":"RefreshAllStatus"})", std::nullopt,
                                R"({"type":"RefreshAllStatus"})"},
                      InputCase{"Addressed", R"(@PC-07 {"type":"RefreshAllStatus"})", "PC-07",
                                R"({"type":"RefreshAllStatus"})"},
                      InputCase{"OnlyTheFirstSpaceEndsTheName", "@PC-07  two spaces", "PC-07", " two spaces"},
                      InputCase{"NoNameIsNoAddress", "@ text", std::nullopt, "@ text"},
                      InputCase{"AnEmptyTextForOneAgent", "@PC-07 ", "PC-07", ""},
                      InputCase{"NoSpaceIsNoAddress", "@PC-07", std::nullopt, "@PC-07"},
                      InputCase{"AtInsideTheLine", "hello @PC-07 x", std::nullopt, "hello @PC-07 x"}),
    [](const ::testing::TestParamInfo<InputCase>& info) { return info.param.name; });

}  // namespace
}  // namespace testkit
