#include "foundation/text/UrlEncode.h"

#include <string>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct UrlCase {
  std::string text;
  std::string encoded;
};

class UrlEncodeTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlEncodeTest, Encodes) { EXPECT_EQ(UrlEncode(GetParam().text), GetParam().encoded); }

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlEncodeTest,
    ::testing::Values(UrlCase{"a b:c%d\\e", "a%20b%3Ac%25d%5Ce"},
                      UrlCase{"x=1&y=[2]", "x=1&y=[2]"},
                      UrlCase{"\xC3\xA9", "%C3%A9"},
                      UrlCase{"!\"#$&'()*+,-./;<=>?@^_`{|}~", "!\"#$&'()*+,-./;<=>?@^_`{|}~"},
                      UrlCase{"\0\x1F\x7F\xFF"s, "%00%1F%7F%FF"},
                      UrlCase{"Pkg_V1.2.exe", "Pkg_V1.2.exe"}, UrlCase{"", ""}));

}  // namespace
