#include "testkit/monsim/handlers/DdcciHandler.h"

#include <gtest/gtest.h>

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::WithChecksum;

std::uint8_t ReplyChecksum(const Bytes& frame) {
  return XorOf(frame.data(), frame.size() - 1, kReplyChecksumSeed);
}

struct DdcciHandlerTest : ::testing::Test {
  DdcciHandlerTest() {
    display.vcp[0x10] = {50, 100, 0};
    display.vcp[0x60] = {0x0F, 0x11, 1};
    chain[1].vcp[0x10] = {20, 80, 0};
  }
  std::optional<Bytes> Answer(Bytes frame) { return AnswerDdcciFrame(WithChecksum(std::move(frame)), display, &chain); }
  Display display;
  std::map<std::uint8_t, Display> chain;
};

TEST_F(DdcciHandlerTest, GetVcpAnswersWithTheStoredValuesAndTheReplyChecksum) {
  Bytes expected{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32};
  expected.push_back(XorOf(expected.data(), expected.size(), 0x50));
  EXPECT_EQ(Answer({0x51, 0x82, 0x01, 0x10}), expected);

  Bytes momentary = *Answer({0x51, 0x82, 0x01, 0x60});
  EXPECT_EQ(momentary[5], 1);  // the VCP type travels too
  EXPECT_EQ(momentary[9], 0x0F);
}

TEST_F(DdcciHandlerTest, GetVcpOfAnUnknownCodeReportsItUnsupported) {
  Bytes reply = *Answer({0x51, 0x82, 0x01, 0x99});
  ASSERT_EQ(reply.size(), 11u);
  EXPECT_EQ(reply[3], 0x01);
  EXPECT_EQ(reply[4], 0x99);
  EXPECT_EQ(reply[10], ReplyChecksum(reply));
}

TEST_F(DdcciHandlerTest, SetVcpChangesTheStoreAndAcknowledgesWithoutData) {
  EXPECT_EQ(Answer({0x51, 0x84, 0x03, 0x10, 0x00, 0x1E}), Bytes{});
  EXPECT_EQ(display.vcp[0x10].current, 30);
  EXPECT_EQ(display.vcp[0x10].maximum, 100);

  EXPECT_EQ(Answer({0x51, 0x84, 0x03, 0x77, 0x00, 0x01}), Bytes{});
  EXPECT_FALSE(display.vcp.count(0x77));  // a display ignores codes it lacks
}

TEST_F(DdcciHandlerTest, RefusesFramesWithAWrongChecksumAndAnswersOddOnesWithTheNullMessage) {
  Bytes corrupt = WithChecksum({0x51, 0x82, 0x01, 0x10});
  corrupt.back() ^= 1;
  EXPECT_FALSE(AnswerDdcciFrame(corrupt, display, &chain));
  EXPECT_FALSE(AnswerDdcciFrame({0x51}, display, &chain));

  const Bytes null{0x6E, 0x80, 0xBE};
  EXPECT_EQ(Answer({0x51, 0x81, 0x42}), null);        // unknown opcode
  EXPECT_EQ(Answer({0x51, 0x81, 0x01}), null);        // Get VCP without a code
  EXPECT_EQ(Answer({0x51, 0x82, 0xCE, 0x55}), null);  // unknown vendor sub-command
}

// Reads the whole capability string the way the library does: offsets advance by the data
// of each fragment until one with length byte 0x83.
TEST_F(DdcciHandlerTest, CapabilityStringComesInFragmentsWithItsTerminatingNulBeforeTheEmptyOne) {
  const std::string caps = "(prot(monitor)type(LCD)model(Q270)cmds(01 02 03 0C E3 F3)vcp(02 10 60))";
  ASSERT_EQ(caps.size(), 71u);
  display.capabilities = caps;
  std::string gathered;
  std::vector<std::size_t> offsets;
  for (int guard = 0; guard < 10; ++guard) {
    std::size_t offset = gathered.size();
    offsets.push_back(offset);
    Bytes reply = *Answer({0x51, 0x83, 0xF3, static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)});
    ASSERT_EQ(reply.back(), ReplyChecksum(reply));
    EXPECT_EQ(reply[2], 0xE3);
    EXPECT_EQ((reply[3] << 8) | reply[4], static_cast<int>(offset));
    if (reply[1] == 0x83) break;
    gathered.append(reply.begin() + 5, reply.end() - 1);
  }
  EXPECT_EQ(offsets, (std::vector<std::size_t>{0, 32, 64, 72}));
  // The length a reader reports counts the NUL, and the closing parenthesis sits just before it.
  ASSERT_EQ(gathered.size(), caps.size() + 1);
  EXPECT_EQ(gathered.back(), '\0');
  EXPECT_EQ(gathered[gathered.size() - 2], ')');
  EXPECT_EQ(gathered.substr(0, caps.size()), caps);
}

TEST_F(DdcciHandlerTest, CapabilityFragmentSizeAndMissingStrings) {
  display.capabilities = "(vcp(10))";
  display.capabilityFragment = 4;
  EXPECT_EQ(*Answer({0x51, 0x83, 0xF3, 0x00, 0x08}), ReplyFrame({0xE3, 0x00, 0x08, ')', 0x00}));
  EXPECT_EQ(*Answer({0x51, 0x83, 0xF3, 0x01, 0x00}), ReplyFrame({0xE3, 0x01, 0x00}));  // past the end

  display.capabilities.reset();
  EXPECT_EQ(*Answer({0x51, 0x83, 0xF3, 0x00, 0x00}), ReplyFrame({0xE3, 0x00, 0x00}));
}

Bytes InnerFrame(Bytes standard) {
  Bytes inner{0x6E};
  inner.insert(inner.end(), standard.begin(), standard.end());
  inner.push_back(XorOf(inner.data(), inner.size(), 0));
  return inner;
}

Bytes TunnelFrame(std::uint8_t port, const Bytes& inner) {
  Bytes frame{0x51, static_cast<std::uint8_t>(0x80 | (inner.size() + 3)), 0xCE, 0xAB, port};
  frame.insert(frame.end(), inner.begin(), inner.end());
  return frame;
}

TEST_F(DdcciHandlerTest, TunnelReachesTheChainedMonitorByPort) {
  Bytes get = TunnelFrame(1, InnerFrame({0x51, 0x82, 0x01, 0x10}));
  ASSERT_EQ(get.size() + 1, 12u);
  Bytes reply = *Answer(get);
  ASSERT_EQ(reply.size(), 16u);
  EXPECT_EQ((Bytes{reply.begin(), reply.begin() + 4}), (Bytes{0x6E, 0x8D, 0xCE, 0xAB}));
  Bytes inner(reply.begin() + 4, reply.begin() + 15);
  EXPECT_EQ(inner, ReplyFrame({0x02, 0x00, 0x10, 0x00, 0x00, 0x50, 0x00, 0x14}));
  EXPECT_EQ(reply.back(), ReplyChecksum(reply));

  Bytes set = TunnelFrame(1, InnerFrame({0x51, 0x84, 0x03, 0x10, 0x00, 0x2A}));
  ASSERT_EQ(set.size() + 1, 14u);
  EXPECT_EQ(Answer(set), Bytes{});
  EXPECT_EQ(chain[1].vcp[0x10].current, 42);
  EXPECT_EQ(display.vcp[0x10].current, 50);  // the first monitor keeps its own value
}

TEST_F(DdcciHandlerTest, TunnelToNobodyOrWithACorruptInnerFrameGetsTheNullMessage) {
  const Bytes null{0x6E, 0x80, 0xBE};
  EXPECT_EQ(Answer(TunnelFrame(2, InnerFrame({0x51, 0x82, 0x01, 0x10}))), null);
  Bytes corrupt = InnerFrame({0x51, 0x84, 0x03, 0x10, 0x00, 0x2A});
  corrupt.back() ^= 0x40;
  EXPECT_EQ(Answer(TunnelFrame(1, corrupt)), null);
  EXPECT_EQ(chain[1].vcp[0x10].current, 20);
  // A chained monitor has nothing behind it.
  Bytes nested = TunnelFrame(1, InnerFrame(TunnelFrame(1, InnerFrame({0x51, 0x82, 0x01, 0x10}))));
  Bytes reply = *Answer(nested);
  EXPECT_EQ((Bytes{reply.begin() + 4, reply.end() - 1}), null);
}

}  // namespace
}  // namespace monsim
