#include <vector>

#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"

namespace {

using VendorTableWriteTest = VendorTest;

// 51 80|n CE key arg1 arg2 offsetHigh offsetLow data, zeros to byte 30, chk.
Bytes WriteFrame(std::uint16_t offset, const Bytes& data) {
  Bytes frame{0x51, static_cast<std::uint8_t>(0x80 | data.size()), 0xCE, 0xA2, 0x01, 0x02,
              static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)};
  frame.insert(frame.end(), data.begin(), data.end());
  frame.resize(31, 0);
  return WithRequestChecksum(frame);
}

TEST_F(VendorTableWriteTest, SendsChunksOfAtMost23BytesHalfASecondApart) {
  const Bytes table = Counting(50, 0x10);
  const Bytes original = table;
  m_device->AnswerEveryRequest(testkit::ReplyStatus(0, VendorAnswer(0xA2, {})));
  std::uint32_t length = 50;
  Handed result(CallDdcciWriteTableCmd(m_handle, &length, table.data(), 0xA2, 0x01, 0x02));
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(table, original);
  ASSERT_EQ(RequestCount(), 3u);
  EXPECT_EQ(RequestPayload(0), WriteFrame(0, Bytes(table.begin(), table.begin() + 23)));
  EXPECT_EQ(RequestPayload(1), WriteFrame(23, Bytes(table.begin() + 23, table.begin() + 46)));
  EXPECT_EQ(RequestPayload(2), WriteFrame(46, Bytes(table.begin() + 46, table.end())));
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{500, 500, 500}));
}

TEST_F(VendorTableWriteTest, AnEmptyTableIsOneFrameWithoutData) {
  std::uint32_t length = 0;
  Handed result(CallDdcciWriteTableCmd(m_handle, &length, nullptr, 0xA2, 0x01, 0x02));
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(RequestCount(), 1u);
  EXPECT_EQ(RequestPayload(0), WriteFrame(0, {}));
}

TEST_F(VendorTableWriteTest, FailedChunksAreNotSentAgain) {
  const Bytes table = Counting(30);
  std::uint32_t length = 30;
  Handed result(CallDdcciWriteTableCmd(m_handle, &length, table.data(), 0xA2, 0x01, 0x02));
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(length, 0u);
  ASSERT_EQ(RequestCount(), 2u);
  EXPECT_EQ(RequestOffset(1), 23);
}

TEST_F(VendorTableWriteTest, ATableItsOffsetsCannotAddressIsNotSent) {
  const Bytes table(0x10001, 0x33);
  std::uint32_t length = 0x10001;
  EXPECT_EQ(CallDdcciWriteTableCmd(m_handle, &length, table.data(), 0xA2, 0, 0), nullptr);
  EXPECT_EQ(length, 0x10001u);
  length = 4;
  EXPECT_EQ(CallDdcciWriteTableCmd(m_handle, &length, nullptr, 0xA2, 0, 0), nullptr);
  EXPECT_EQ(RequestCount(), 0u);
}

}  // namespace
