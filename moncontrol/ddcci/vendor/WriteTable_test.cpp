#include <functional>
#include <string>
#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"

namespace {

using WriteTableTest = VendorTest;

// 6F n E7 vcp offsetHigh offsetLow data chk
Bytes Frame(std::uint16_t offset, const Bytes& data) {
  Bytes frame{0x6F, static_cast<std::uint8_t>(data.size()), 0xE7, 0x73, static_cast<std::uint8_t>(offset >> 8),
              static_cast<std::uint8_t>(offset)};
  frame.insert(frame.end(), data.begin(), data.end());
  return WithRequestChecksum(frame);
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

TEST_F(WriteTableTest, SendsChunksOfAtMost32BytesThatSetAValue) {
  const Bytes table = Counting(70, 0x20);
  m_device->AnswerEveryRequest(testkit::ReplyStatus(0));
  EXPECT_EQ(WriteTable(m_handle, 0x73, 70, table.data()), MC_OK);
  ASSERT_EQ(RequestCount(), 3u);
  EXPECT_EQ(RequestPayload(0), Frame(0, Slice(table, 0, 32)));
  EXPECT_EQ(RequestPayload(1), Frame(32, Slice(table, 32, 64)));
  EXPECT_EQ(RequestPayload(2), Frame(64, Slice(table, 64, 70)));
  EXPECT_EQ(+RequestHeader(0).dataLength, 39u);
  EXPECT_EQ(+RequestHeader(2).dataLength, 13u);
  EXPECT_EQ(+RequestHeader(2).param4, 1u);
  EXPECT_NE(+RequestHeader(0).cmdID, +RequestHeader(1).cmdID);
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{500, 500, 500}));
}

TEST_F(WriteTableTest, AFailedChunkGoesOutAgainFiveTimesAtMost) {
  const Bytes table = Counting(40);
  // Status 4 to a DDC/CI request is not resent by the transport: one send per try.
  Reply({});
  for (int i = 0; i < 4; ++i) m_device->Answer(testkit::ReplyStatus(4));
  Reply({});
  EXPECT_EQ(WriteTable(m_handle, 0x73, 40, table.data()), MC_OK);
  ASSERT_EQ(RequestCount(), 6u);
  for (std::size_t i = 1; i < 6; ++i) EXPECT_EQ(RequestPayload(i), Frame(32, Slice(table, 32, 40))) << i;
  EXPECT_EQ(m_clock.Sleeps(), std::vector<long long>(6, 500));

  m_device->ClearRecords();
  m_device->AnswerEveryRequest(testkit::ReplyStatus(4));
  EXPECT_EQ(WriteTable(m_handle, 0x73, 40, table.data()), MC_ERR_STATUS_BASE + 4);
  EXPECT_EQ(RequestCount(), 5u);
  EXPECT_EQ(m_log.Errors().back(), "WriteTable of VCP 0x73: the chunk at offset 0 failed 5 times, last with -1996");
}

TEST_F(WriteTableTest, ArgumentsItCannotSendAreRefused) {
  const Bytes table(0x10001, 0x33);
  EXPECT_EQ(WriteTable(m_handle, 0x73, 4, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(WriteTable(m_handle, 0x73, 0, table.data()), MC_ERR_INVALID_ARG);
  EXPECT_EQ(WriteTable(m_handle, 0x73, 0x10001, table.data()), MC_ERR_INVALID_ARG);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(WriteTableTest, BothTransfersHoldTheDeviceMutexFromFirstToLastChunk) {
  const Bytes table = Counting(70);
  std::vector<bool> held;
  m_device->AnswerEveryRequest(RecordingMutexHeld(KeyOf(L"D1"), held, testkit::ReplyStatus(0)));
  EXPECT_EQ(WriteTable(m_handle, 0x73, 70, table.data()), MC_OK);
  EXPECT_EQ(held, std::vector<bool>(3, true));

  held.clear();
  const Bytes chunk{0x6E, 0x01, 0xCE, 0x09, 0x00};
  const Bytes end{0x6E, 0x00, 0xCE, 0x00, 0x00};
  for (const Bytes& reply : {chunk, chunk, chunk, end})
    m_device->Answer(RecordingMutexHeld(KeyOf(L"D1"), held, testkit::ReplyStatus(0, reply)));
  std::vector<std::uint8_t> buffer(8);
  std::uint32_t capacity = 8;
  EXPECT_EQ(ReadTable(m_handle, 0x73, 0, 0, &capacity, buffer.data()), 3);
  EXPECT_EQ(held, std::vector<bool>(4, true));

  // A handle that locks "Global\HalvaneSDK", which nobody created here.
  mchid::hid_device* unregistered = OpenUnregistered(m_device->Collection().path);
  ASSERT_NE(unregistered, nullptr);
  m_device->ClearRecords();
  EXPECT_EQ(WriteTable(unregistered, 0x73, 70, table.data()), MC_ERR_MUTEX);
  EXPECT_EQ(WriteTable(unregistered, 0x73, 0, nullptr), MC_ERR_MUTEX);
  EXPECT_EQ(ReadTable(unregistered, 0x73, 0, 0, &capacity, buffer.data()), MC_ERR_MUTEX);
  EXPECT_EQ(RequestCount(), 0u);
}

}  // namespace
