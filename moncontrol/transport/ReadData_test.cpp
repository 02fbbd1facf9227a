#include <numeric>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/HidTransport.h"
#include "testkit/hiddouble/ScriptedHidFixture.h"

namespace {

using testkit::Bytes;

class ReadDataTest : public ScriptedHidFixture {
 protected:
  Bytes Payload(std::size_t size) {
    Bytes payload(size);
    std::iota(payload.begin(), payload.end(), std::uint8_t{1});
    return payload;
  }

  void SendMessage(std::uint32_t dataLength, const Bytes& payload, int timeoutsBefore = 0) {
    tagMCCMD_RECEIVE_HEADER header{};
    header.cmdID = 0x1234;
    testkit::ScriptedMessage message{timeoutsBefore,
                                     testkit::MessageBytes(header, payload, dataLength)};
    m_device->Send(message);
  }
};

TEST_F(ReadDataTest, ShortMessageIsCompleteWithTheReadThatBroughtItsHeader) {
  SendMessage(20, Payload(20));
  Bytes buffer(256);
  EXPECT_EQ(ReadData(m_handle, 256, buffer.data(), 200), 64);  // one padded input report
  EXPECT_EQ(buffer[32], 1);
  EXPECT_EQ(buffer[51], 20);
  EXPECT_EQ(m_device->ReadTimeouts(), std::vector<int>({200}));
}

TEST_F(ReadDataTest, LongMessageIsReadOnFromContinuationReports) {
  Bytes payload = Payload(100);
  SendMessage(100, payload, 2);
  Bytes buffer(256);
  EXPECT_EQ(ReadData(m_handle, 256, buffer.data(), -1), 132);
  EXPECT_EQ(Bytes(buffer.begin() + 32, buffer.begin() + 132), payload);
  EXPECT_EQ(buffer[132], 0);
  // Two time-outs, the header's report, then continuation reports of 64 and 4 bytes.
  EXPECT_EQ(m_device->ReadTimeouts().size(), 5u);
}

TEST_F(ReadDataTest, GivesUpOnTheSixthEmptyHeaderReadAndTheFourthEmptyPayloadRead) {
  struct Case {
    const char* name;
    int timeoutsBefore;
    std::uint32_t dataLength;
    std::size_t deliveredPayload;
    std::int32_t expected;
    std::size_t reads;
  };
  const Case cases[] = {
      {"header after five time-outs", 5, 4, 4, 64, 6},
      {"no header in six reads", 6, 4, 4, MC_ERR_READ_FAILED, 6},
      {"payload never comes", 0, 100, 32, MC_ERR_READ_FAILED, 1 + 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    SendMessage(c.dataLength, Payload(c.deliveredPayload), c.timeoutsBefore);
    Bytes buffer(256);
    EXPECT_EQ(ReadData(m_handle, 256, buffer.data(), 200), c.expected);
    EXPECT_EQ(m_device->ReadTimeouts().size(), c.reads);
    while (m_device->PendingReports() > 0) ReadData(m_handle, 256, buffer.data(), 0);
  }
}

TEST_F(ReadDataTest, LengthBeyondTheBufferIsRefusedWithoutTouchingWhatLiesBehindIt) {
  const std::uint32_t hostile[] = {33, 200, 0x7FFFFFFF, 0xFFFFFFE0, 0xFFFFFFFF};
  for (std::uint32_t dataLength : hostile) {
    SCOPED_TRACE(dataLength);
    SendMessage(dataLength, Payload(64 + 64));
    Bytes backing(128, 0xEE);
    EXPECT_EQ(ReadData(m_handle, 64, backing.data(), 200), MC_ERR_READ_FAILED);
    EXPECT_EQ(Bytes(backing.begin() + 64, backing.end()), Bytes(64, 0xEE));
    while (m_device->PendingReports() > 0) ReadData(m_handle, 128, backing.data(), 0);
  }
  EXPECT_FALSE(
      LinesStartingWith(L"ReadData message of 200 payload bytes does not fit a buffer of 64 bytes")
          .empty());
}

TEST_F(ReadDataTest, TrickledMessageIsGivenUpAtTheDeadline) {
  // Each byte restarts the count of empty reads; 232 bytes after three silences each would
  // take over three minutes.
  tagMCCMD_RECEIVE_HEADER header{};
  header.cmdID = 0x1234;
  m_device->Send({3, testkit::MessageBytes(header, Payload(200)), 1});
  m_device->PassTimeOutsOn(&m_clock);
  const auto start = m_clock.Now();
  Bytes buffer(256);
  EXPECT_EQ(ReadData(m_handle, 256, buffer.data(), 200), MC_ERR_READ_FAILED);
  EXPECT_LE(m_clock.Now() - start, kCommandDeadline + std::chrono::milliseconds(200));
  EXPECT_GT(m_device->PendingReports(), 0u);
}

TEST_F(ReadDataTest, RefusesBadArguments) {
  Bytes buffer(64);
  EXPECT_EQ(ReadData(nullptr, 64, buffer.data(), 200), MC_ERR_INVALID_ARG);
  EXPECT_EQ(ReadData(m_handle, 64, nullptr, 200), MC_ERR_INVALID_ARG);
  EXPECT_EQ(ReadData(m_handle, 64, buffer.data(), -2), MC_ERR_INVALID_ARG);
  EXPECT_EQ(ReadData(m_handle, 31, buffer.data(), 200), MC_ERR_INVALID_ARG);
  EXPECT_EQ(ReadData(m_handle, -1, buffer.data(), 200), MC_ERR_INVALID_ARG);
  EXPECT_TRUE(m_device->ReadTimeouts().empty());
}

}  // namespace
