#include "testkit/monsim/handlers/ExtendedVcpHandler.h"

#include <gtest/gtest.h>

#include <array>

#include "testkit/monsim/handlers/DdcciHandler.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::WithChecksum;

struct ExtendedVcpHandlerTest : ::testing::Test {
  ExtendedVcpHandlerTest() {
    display.vcp[0x10] = {50, 100, 0};
    display.extended[0x05] = {1, 3, 0};
    display.extended[0x0102] = {0x1234, 0xFFFF, 0};
  }
  std::optional<Bytes> Answer(Bytes frame) { return AnswerDdcciFrame(WithChecksum(std::move(frame)), display, nullptr); }
  Bytes Select(std::uint16_t sub) {
    return *Answer({0x51, 0x84, 0x03, 0xF8, static_cast<std::uint8_t>(sub >> 8), static_cast<std::uint8_t>(sub)});
  }
  // [current, maximum, result code] of a Get VCP 0xF7.
  std::array<int, 3> GetValue() {
    Bytes reply = *Answer({0x51, 0x82, 0x01, 0xF7});
    EXPECT_EQ(reply.size(), 11u);
    EXPECT_EQ(reply[4], 0xF7);
    return {reply[8] << 8 | reply[9], reply[6] << 8 | reply[7], reply[3]};
  }
  Display display;
};

TEST_F(ExtendedVcpHandlerTest, TheSelectedSubFeatureIsReadAndWrittenThroughF7) {
  EXPECT_EQ(Select(0x05), Bytes{});
  EXPECT_EQ(display.vcp[0xF8].current, 0x05);
  EXPECT_EQ(GetValue(), (std::array<int, 3>{1, 3, 0}));
  EXPECT_EQ(Answer({0x51, 0x84, 0x03, 0xF7, 0x00, 0x02}), Bytes{});
  EXPECT_EQ(display.extended[0x05].current, 2);

  Select(0x0102);  // sub-feature codes are 16 bits
  EXPECT_EQ(GetValue(), (std::array<int, 3>{0x1234, 0xFFFF, 0}));
  EXPECT_EQ(display.extended[0x05].current, 2);
}

TEST_F(ExtendedVcpHandlerTest, AnUnknownOrMissingSelectionReadsUnsupportedAndIgnoresWrites) {
  EXPECT_EQ(GetValue()[2], 0x01);  // nothing selected yet
  Select(0x77);
  EXPECT_EQ(GetValue(), (std::array<int, 3>{0, 0, 0x01}));
  EXPECT_EQ(Answer({0x51, 0x84, 0x03, 0xF7, 0x00, 0x09}), Bytes{});
  EXPECT_FALSE(display.extended.count(0x77));
}

TEST_F(ExtendedVcpHandlerTest, LeavesOtherCodesAndDisplaysWithoutThePageToTheStandardHandling) {
  EXPECT_FALSE(AnswerExtendedVcpFrame(WithChecksum({0x51, 0x82, 0x01, 0x10}), display));
  EXPECT_FALSE(AnswerExtendedVcpFrame(WithChecksum({0x51, 0x84, 0x03, 0x10, 0x00, 0x01}), display));

  Display plain;
  plain.vcp[0xF7] = {4, 10, 0};
  EXPECT_FALSE(AnswerExtendedVcpFrame(WithChecksum({0x51, 0x84, 0x03, 0xF8, 0x00, 0x05}), plain));
  EXPECT_FALSE(AnswerExtendedVcpFrame(WithChecksum({0x51, 0x82, 0x01, 0xF7}), plain));
  EXPECT_FALSE(plain.vcp.count(0xF8));
}

}  // namespace
}  // namespace monsim
