#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"

namespace {

using ReadTableTest = VendorTest;

// 6E count CE data chk: the count is a plain byte.
Bytes Chunk(const Bytes& data) {
  Bytes frame{0x6E, static_cast<std::uint8_t>(data.size()), 0xCE};
  frame.insert(frame.end(), data.begin(), data.end());
  std::uint8_t checksum = 0x50;
  for (std::uint8_t b : frame) checksum ^= b;
  frame.push_back(checksum);
  return frame;
}
const Bytes kEnd{0x6E, 0x00, 0xCE, 0x00, 0x00};

TEST_F(ReadTableTest, GathersChunksHalfASecondApartAndDeliversWhatFits) {
  // 200 bytes: a count of 0x90 is taken whole, not as a length byte.
  const Bytes table = Counting(200);
  struct Case {
    const char* name;
    std::uint32_t capacity;
    std::int32_t result;
  };
  const Case cases[] = {{"room for all", 256, 200}, {"room for less", 150, 150}, {"room for none", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_clock.ClearSleeps();
    Reply(Chunk(Bytes(table.begin(), table.begin() + 0x90)));
    Reply(Chunk(Bytes(table.begin() + 0x90, table.end())));
    Reply(kEnd);
    std::vector<std::uint8_t> buffer(300, 0xEE);
    std::uint32_t capacity = c.capacity;
    EXPECT_EQ(ReadTable(m_handle, 0x73, 0x01, 0x02, &capacity, buffer.data()), c.result);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.result), Bytes(table.begin(), table.begin() + c.result));
    EXPECT_EQ(Bytes(buffer.begin() + c.result, buffer.begin() + c.capacity), Bytes(c.capacity - c.result, 0));
    EXPECT_EQ(buffer[c.capacity], 0xEE);
    ASSERT_EQ(RequestCount(), 3u);
    EXPECT_EQ(RequestPayload(0), WithRequestChecksum({0x51, 0x83, 0xCE, 0x73, 0x01, 0x02, 0x00, 0x00}));
    EXPECT_EQ(RequestOffset(1), 0x90);
    EXPECT_EQ(RequestOffset(2), 200);
    EXPECT_EQ(+RequestHeader(2).param4, 0u);
    EXPECT_EQ(+RequestHeader(2).dataLength, 9u);
    EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{500, 500}));
  }
}

TEST_F(ReadTableTest, EndsAtTheFirstChunkItCannotUse) {
  const Bytes first = Chunk(Counting(10));
  Bytes claimsMore = Chunk(Counting(10, 10));
  claimsMore[1] = 40;
  struct Case {
    const char* name;
    testkit::Responder second;
  };
  const Case cases[] = {
      {"count 0 in a long reply", testkit::ReplyStatus(0, Bytes{0x6E, 0x00, 0xCE, 0x01, 0x02, 0x03})},
      {"reply shorter than 5 bytes", testkit::ReplyStatus(0, Bytes{0x6E, 0x01, 0xCE, 0x01})},
      {"count claims more than arrived", testkit::ReplyStatus(0, claimsMore)},
      {"refused", testkit::ReplyStatus(4, Chunk(Counting(10, 10)))},
      {"no reply", testkit::NoReply()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    Reply(first);
    m_device->Answer(c.second);
    std::vector<std::uint8_t> buffer(64);
    std::uint32_t capacity = 64;
    EXPECT_EQ(ReadTable(m_handle, 0x73, 0, 0, &capacity, buffer.data()), 10);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 10), Counting(10));
    EXPECT_EQ(RequestCount(), 2u);
  }
}

TEST_F(ReadTableTest, StopsWhenItsGatheringBufferIsFull) {
  m_device->AnswerEveryRequest(testkit::ReplyStatus(0, Chunk(Bytes(255, 0x77))));
  std::vector<std::uint8_t> buffer(70000, 0);
  std::uint32_t capacity = 70000;
  EXPECT_EQ(ReadTable(m_handle, 0x73, 0, 0, &capacity, buffer.data()), 64000);
  EXPECT_EQ(RequestCount(), 251u);  // 64000 / 255, rounded up
  EXPECT_EQ(buffer[63999], 0x77);
  EXPECT_EQ(buffer[64000], 0x00);
}

TEST_F(ReadTableTest, ArgumentsThatCannotHoldAReplyAreRefused) {
  std::vector<std::uint8_t> buffer(8);
  EXPECT_EQ(ReadTable(m_handle, 0x73, 0, 0, nullptr, buffer.data()), MC_ERR_INVALID_ARG);
  std::uint32_t capacity = 8;
  EXPECT_EQ(ReadTable(m_handle, 0x73, 0, 0, &capacity, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(RequestCount(), 0u);
}

}  // namespace
