#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciTest.h"

namespace {

using PassThroughTest = DdcciTest;

constexpr std::uint32_t kUntouched = 0xDEAD;

TEST_F(PassThroughTest, SendsTheFrameAsItIsAndCopiesTheWholeReply) {
  Bytes longReply(200);
  for (std::size_t i = 0; i < longReply.size(); ++i) longReply[i] = static_cast<std::uint8_t>(i);
  struct Case {
    const char* name;
    Bytes frame;
    Bytes reply;
  };
  const Case cases[] = {
      {"vendor frame", {0x51, 0x84, 0xCE, 0x01, 0x02, 0x03, 0x99}, DisplayReply({0xCE, 0x01, 0x02})},
      {"longest frame", Bytes(kPassThroughMaxFrame, 0x5A), {0x6E, 0x80, 0xBE}},
      {"reply over several reports", {0x51, 0x81, 0xB1, 0x0F}, longReply},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_device->Answer(testkit::ReplyStatus(0, c.reply));
    std::vector<std::uint8_t> reply(1024, 0xEE);
    std::uint32_t replyLength = kUntouched;
    ASSERT_EQ(SEND_CMD_DDCCI(m_handle, static_cast<std::uint32_t>(c.frame.size()), &replyLength, c.frame.data(),
                             reply.data()),
              0);
    ASSERT_EQ(RequestCount(), 1u);
    EXPECT_EQ(RequestPayload(0), c.frame);
    EXPECT_EQ(+RequestHeader(0).dataLength, c.frame.size());
    EXPECT_EQ(+RequestHeader(0).param4, 0u);
    EXPECT_EQ(replyLength, c.reply.size());
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(c.reply.size())), c.reply);
    EXPECT_EQ(reply[c.reply.size()], 0xEE);
  }
}

TEST_F(PassThroughTest, FailuresLeaveTheReplyLengthAlone) {
  const Bytes frame{0x51, 0x82, 0x01, 0x10, 0xAC};
  struct Case {
    const char* name;
    testkit::Responder answer;
    std::int32_t result;
  };
  const Case cases[] = {
      {"empty reply", testkit::ReplyStatus(0), MC_ERR_BAD_REPLY},
      {"refused", testkit::ReplyStatus(1, {0x6E, 0x80, 0xBE}), MC_ERR_BAD_REPLY},
      {"claims more than arrives", testkit::ReplyClaimingLength(40, {0x6E, 0x80, 0xBE}), MC_ERR_BAD_REPLY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->Answer(c.answer);
    std::uint8_t reply[1024];
    std::uint32_t replyLength = kUntouched;
    EXPECT_EQ(SEND_CMD_DDCCI(m_handle, static_cast<std::uint32_t>(frame.size()), &replyLength, frame.data(), reply),
              c.result);
    EXPECT_EQ(replyLength, kUntouched);
  }

  m_device->ClearRecords();
  const Bytes tooLong(kPassThroughMaxFrame + 1, 0x5A);
  std::uint8_t reply[1024];
  std::uint32_t replyLength = kUntouched;
  EXPECT_EQ(SEND_CMD_DDCCI(m_handle, static_cast<std::uint32_t>(tooLong.size()), &replyLength, tooLong.data(), reply),
            MC_ERR_INVALID_ARG);
  EXPECT_EQ(SEND_CMD_DDCCI(m_handle, 5, &replyLength, nullptr, reply), MC_ERR_INVALID_ARG);
  EXPECT_EQ(SEND_CMD_DDCCI(m_handle, 5, &replyLength, frame.data(), nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_EQ(replyLength, kUntouched);
}

TEST_F(PassThroughTest, AReplyWhoseBytesDidNotAllArriveIsNotPassedOn) {
  // Input reports of 40 bytes: the header's read brings only 8 payload bytes, and the
  // transport takes a reply of up to 32 as complete with it.
  mchid::HidCollection collection = testkit::MonitorCollection("scripted:short-reports", L"SHORT");
  collection.input_report_length = 41;
  auto device = Scripted().AddDevice(collection);
  mchid::hid_device* handle = OpenRegistered(L"SHORT");
  ASSERT_NE(handle, nullptr);
  device->Answer(testkit::ReplyStatus(0, DisplayReply({0xCE, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07})));

  const Bytes frame{0x51, 0x81, 0xB1, 0x0F};
  std::uint8_t reply[1024];
  std::uint32_t replyLength = kUntouched;
  EXPECT_EQ(SEND_CMD_DDCCI(handle, static_cast<std::uint32_t>(frame.size()), &replyLength, frame.data(), reply),
            MC_ERR_BAD_REPLY);
  EXPECT_EQ(replyLength, kUntouched);
}

}  // namespace
