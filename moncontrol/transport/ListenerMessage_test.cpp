#include "moncontrol/transport/ListenerMessage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "moncontrol/transport/ByteOrder.h"
#include "moncontrol/transport/CommandHeader.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A report as a listener reads it: a message header, then the payload bytes that arrived.
Bytes Report(std::uint32_t dataLength, const Bytes& payload) {
  tagMCCMD_RECEIVE_HEADER header{};
  header.dataLength = dataLength;
  header.cmdType = MCCMD_TYPE_MESSAGE;
  header.param1 = FUNC_CODE_VCP_CHANGED;
  header.param2 = 0x10;
  header.param3 = 0x11223344;
  header.param4 = 7;
  Bytes report(kMccmdReceiveHeaderSize);
  StoreMccmdReceiveHeader(header, report.data());
  report.insert(report.end(), payload.begin(), payload.end());
  return report;
}

Bytes Pack(const CMD_MESSAGE& message, std::size_t length) {
  Bytes flat(length, 0xEE);
  PackCmdMessage(&message, flat.data(), flat.size());
  return flat;
}

TEST(ListenerMessageTest, PacksTheFiveWordsLittleEndianThenThePayload) {
  Bytes report = Report(3, {0xA1, 0xA2, 0xA3});
  CMD_MESSAGE message = CmdMessageFromReport(report.data(), report.size());
  Bytes flat = Pack(message, kCmdMessageHeaderSize + 3);
  EXPECT_EQ(flat, (Bytes{38, 0, 0, 0, 0x10, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 7, 0, 0, 0, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}));
}

TEST(ListenerMessageTest, BoundsAClaimedLengthByThePayloadThatWasRead) {
  struct Case {
    std::uint32_t claimed;
    std::size_t payloadRead;
    std::uint32_t delivered;
    bool warned;
  };
  const Case cases[] = {{0, 32, 0, false}, {20, 32, 20, false}, {30, 8, 8, true}, {0xFFFFFFFF, 0, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.claimed);
    testkit::LogCapture log;
    Bytes report = Report(c.claimed, Bytes(c.payloadRead, 0x5A));
    CMD_MESSAGE message = CmdMessageFromReport(report.data(), report.size());
    EXPECT_EQ(+message.dataLength, c.delivered);
    EXPECT_EQ(+message.data, report.data() + kMccmdReceiveHeaderSize);
    EXPECT_EQ(log.Lines().size(), c.warned ? 1u : 0u);
  }
}

TEST(ListenerMessageTest, PackingLeavesABufferTooShortForTheMessageAlone) {
  Bytes payload{1, 2, 3, 4};
  CMD_MESSAGE message{FUNC_CODE_VCP_CHANGED, 1, 2, 3, 4, payload.data()};
  EXPECT_EQ(Pack(message, kCmdMessageHeaderSize + 3), Bytes(kCmdMessageHeaderSize + 3, 0xEE));
  // A longer buffer is zeroed behind the message; no data pointer sends zeros.
  Bytes longer = Pack(message, kCmdMessageHeaderSize + 6);
  EXPECT_EQ(Bytes(longer.begin() + 20, longer.end()), (Bytes{1, 2, 3, 4, 0, 0}));
  message.data = nullptr;
  Bytes empty = Pack(message, kCmdMessageHeaderSize + 4);
  EXPECT_EQ(Bytes(empty.begin() + 20, empty.end()), Bytes(4, 0));
  PackCmdMessage(nullptr, longer.data(), longer.size());
  PackCmdMessage(&message, nullptr, 64);
}

TEST(ListenerMessageTest, ConnectionMessagesCarryOnlyTheirCodeAndOutcome) {
  for (bool connected : {false, true}) {
    auto flat = MakeConnectMessage(connected);
    EXPECT_EQ(LoadUInt32LE(flat.data()), FUNC_CODE_CONNECTION);
    EXPECT_EQ(LoadUInt32LE(flat.data() + 4), connected ? 1u : 0u);
    EXPECT_EQ(Bytes(flat.begin() + 8, flat.end()), Bytes(12, 0));
  }
}

}  // namespace
