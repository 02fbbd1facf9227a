#include "foundation/text/HexText.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/logcapture/LogCapture.h"

namespace {

struct BytesCase {
  std::string hex;
  std::vector<std::uint8_t> bytes;
};

class HexToByteArrayTest : public ::testing::TestWithParam<BytesCase> {};

TEST_P(HexToByteArrayTest, Bytes) {
  std::uint8_t* bytes = nullptr;
  int length = -1;
  bool produced = HexToByteArray(GetParam().hex, &bytes, &length);
  EXPECT_EQ(produced, !GetParam().bytes.empty());
  ASSERT_EQ(length, static_cast<int>(GetParam().bytes.size()));
  if (!produced) {
    EXPECT_EQ(bytes, nullptr);
    return;
  }
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + length), GetParam().bytes);
  std::free(bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexToByteArrayTest,
    ::testing::Values(BytesCase{"0A 1b", {0x0A, 0x1B}}, BytesCase{"ABC", {0xAB}},
                      BytesCase{"", {}}, BytesCase{"   ", {}}, BytesCase{"F", {}},
                      BytesCase{"ff00 7F", {0xFF, 0x00, 0x7F}},
                      // Not rejected: 'G' is 0x47 - 0x30 = 23, kept to 8 bits with the next digit.
                      BytesCase{"G1", {static_cast<std::uint8_t>(23 * 16 + 1)}},
                      // Only blanks are removed; a tab counts as a digit.
                      BytesCase{"\t1", {static_cast<std::uint8_t>((0x09 - 0x30) * 16 + 1)}}));

struct UShortCase {
  std::string hex;
  std::uint16_t value;
  std::vector<std::string> errors;
};

class HexStringToUShortTest : public ::testing::TestWithParam<UShortCase> {};

TEST_P(HexStringToUShortTest, Value) {
  testkit::LogCapture log;
  EXPECT_EQ(HexStringToUShort(GetParam().hex), GetParam().value);
  EXPECT_EQ(log.Errors(), GetParam().errors);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexStringToUShortTest,
    ::testing::Values(UShortCase{"F821", 63521, {}}, UShortCase{"0x1A", 26, {}},
                      UShortCase{"12345", 9029, {}}, UShortCase{"  ff zz", 255, {}},
                      UShortCase{"-1", 0xFFFF, {}},
                      UShortCase{"zz", 0, {"Invalid argument: stoi"}},
                      UShortCase{"", 0, {"Invalid argument: stoi"}},
                      UShortCase{"FFFFFFFF", 0, {"Out of range: stoi"}}));

TEST(HexStringToUShortVectorTest, OneElementPerByte) {
  EXPECT_EQ(HexStringToUShortVector("10 12 FF"), (std::vector<std::uint16_t>{16, 18, 255}));
  EXPECT_TRUE(HexStringToUShortVector(" ").empty());
}

}  // namespace
