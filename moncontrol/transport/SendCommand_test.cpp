#include <cwchar>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/ExchangeCases.h"
#include "moncontrol/transport/HidTransport.h"
#include "testkit/hiddouble/ScriptedHidFixture.h"

namespace {

using namespace exchange_cases;

class SendCommandExchange : public ScriptedHidFixture,
                            public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(SendCommandExchange, ResultSendsAndPauses) {
  const ExchangeCase& c = GetParam();
  for (const Responder& answer : c.answers) m_device->Answer(answer);
  m_device->FailNextWrites(c.failWrites);
  Bytes request = SignedRequest(kCmdId, c.param1, c.param2, {0x51, 0x82, 0x01, 0x10});
  Bytes buffer = request;
  buffer.resize(static_cast<std::size_t>(c.bufLen));
  const Bytes original = buffer;

  std::int32_t received = -1;
  EXPECT_EQ(SendCommand(m_handle, c.bufLen, buffer.data(), &received, -1), c.expected);

  std::vector<Bytes> requests = m_device->Requests();
  EXPECT_EQ(requests.size(), c.sends);
  for (const Bytes& sent : requests) EXPECT_EQ(sent, request);  // every resend is the request
  EXPECT_EQ(m_clock.Sleeps(), c.sleeps);
  for (int timeout : m_device->ReadTimeouts()) EXPECT_EQ(timeout, kExchangeReadTimeoutMs);
  if (c.expected == 0) {
    EXPECT_EQ(received, c.received);
    tagMCCMD_RECEIVE_HEADER reply = LoadMccmdReceiveHeader(buffer.data());
    EXPECT_EQ(+reply.cmdID, kCmdId);
    EXPECT_EQ(+reply.param1, HID_ACK_SUCCESS);
  } else {
    EXPECT_EQ(received, -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, SendCommandExchange, ::testing::ValuesIn(kExchanges),
                         [](const auto& info) { return info.param.name; });

class SendCommandTest : public ScriptedHidFixture {
 protected:
  std::int32_t Exchange(std::int32_t bufLen = 128) {
    m_request = SignedRequest(kCmdId, kDdcciAddress, kHostAddress, {0x51, 0x82, 0x01, 0x10});
    m_buffer = m_request;
    m_buffer.resize(static_cast<std::size_t>(bufLen));
    std::int32_t received = 0;
    return SendCommand(m_handle, bufLen, m_buffer.data(), &received, 0);
  }

  // The lines other than header and byte dumps.
  static std::vector<std::wstring> PolicyLines() {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : Lines()) {
      bool dump = false;
      for (const wchar_t* prefix :
           {L"SEND  :", L"RECIVE:", L"param1 error send:", L"param1 error recv",
            L"SendCommand send:", L"SendCommand recv"}) {
        dump = dump || line.rfind(prefix, 0) == 0;
      }
      if (!dump) lines.push_back(line);
    }
    return lines;
  }

  static std::wstring HexDump(const std::wstring& prefix, const Bytes& bytes) {
    std::wstring text = prefix;
    wchar_t digits[8];
    for (std::uint8_t b : bytes) {
      std::swprintf(digits, 8, L" %02X", b);
      text += digits;
    }
    return text;
  }

  Bytes m_request;
  Bytes m_buffer;
};

TEST_F(SendCommandTest, RetriesAreLoggedWithTheRefusalAndItsDumps) {
  m_device->Answer(ReplyStatus(2));
  m_device->Answer(Late(6, ReplyStatus(0)));  // the second send's first read brings nothing
  ASSERT_EQ(Exchange(), 0);
  EXPECT_EQ(PolicyLines(), std::vector<std::wstring>({
                               L"param1 error param1 != HID_ACK_SUCCESS param1 = 2",
                               L"SendCommand retry = 4",
                               L"ReadData start retry = 4.",
                               L"ReadData  end  retry = 4.",
                               L"SendCommand retry = 1 OK",
                           }));
  tagMCCMD_RECEIVE_HEADER refusal{};
  refusal.cmdID = kCmdId;
  refusal.param1 = 2;
  refusal.param2 = kHostAddress;
  Bytes refusalBytes = testkit::MessageBytes(refusal, {});
  EXPECT_EQ(LinesStartingWith(L"param1 error send:"),
            std::vector<std::wstring>({HexDump(L"param1 error send:", m_request)}));
  EXPECT_EQ(LinesStartingWith(L"param1 error recv"),
            std::vector<std::wstring>({HexDump(L"param1 error recv", refusalBytes)}));
  tagMCCMD_HEADER sent = LoadMccmdHeader(m_request.data());
  wchar_t expectedSend[200];
  std::swprintf(expectedSend, 200,
                L"SEND  :cmdID: 0x12345601, cmdType: 0x0, param1: 0x6e, param2: 0x51, param3: 0x0, "
                L"param4: 0x0, dataLength: 4, signature %d",
                static_cast<int>(sent.signature));
  EXPECT_EQ(LinesStartingWith(L"SEND  :"), std::vector<std::wstring>({expectedSend}));
  EXPECT_EQ(LinesStartingWith(L"RECIVE:"),
            std::vector<std::wstring>(
                {L"RECIVE:cmdID: 0x12345601, cmdType: 0x0, param1: 0x2, param2: 0x51, "
                 L"param3: 0x0, param4: 0x0, dataLength: 0, signature 0"}));
}

TEST_F(SendCommandTest, OtherCommandsReplyIsLoggedBeforeItIsReadPast) {
  m_device->Answer(Together(ReplyForOtherCommand(), ReplyStatus(0)));
  ASSERT_EQ(Exchange(), 0);
  wchar_t expected[160];
  std::swprintf(expected, 160,
                L"reSend=5,SendCommand cmdID != pReceiveCmdHeader->cmdID %lld , %lld",
                static_cast<long long>(kCmdId), static_cast<long long>(kCmdId ^ 0x00FF0000u));
  EXPECT_EQ(PolicyLines(), std::vector<std::wstring>({expected}));
  EXPECT_EQ(LinesStartingWith(L"SendCommand send:"),
            std::vector<std::wstring>({HexDump(L"SendCommand send:", m_request)}));
  EXPECT_EQ(LinesStartingWith(L"SendCommand recv").size(), 1u);
}

TEST_F(SendCommandTest, SilenceAndFailedSkippingReadsAreLogged) {
  m_device->Answer(NoReply());
  EXPECT_EQ(Exchange(), MC_ERR_NO_REPLY);
  EXPECT_EQ(PolicyLines(), std::vector<std::wstring>({
                               L"ReadData start retry = 4.",
                               L"ReadData  end  retry = 4.",
                               L"ReadData start retry = 3.",
                               L"ReadData  end  retry = 3.",
                               L"ReadData start retry = 2.",
                               L"ReadData  end  retry = 2.",
                               L"ReadData start retry = 1.",
                               L"ReadData  end  retry = 1.",
                               L"ReadData retry OVER -1005.",
                           }));

  m_device->Answer(Together(ReplyForOtherCommand(), NoReply()));
  m_device->Answer(ReplyStatus(0));
  EXPECT_EQ(Exchange(), 0);
  EXPECT_EQ(LinesStartingWith(L"SendCommand cmdID != pReceiveCmdHeader->cmdID ReadData ret"),
            std::vector<std::wstring>(
                {L"SendCommand cmdID != pReceiveCmdHeader->cmdID ReadData ret = -1007"}));
}

TEST_F(SendCommandTest, NoLogSinkIsNeededAndNothingIsLoggedOnAFirstAcceptance) {
  m_device->Answer(Together(Unsolicited(), ReplyStatus(0)));
  EXPECT_EQ(Exchange(), 0);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(SendCommandTest, RefusesBadArgumentsBeforeSending) {
  Bytes request = SignedRequest(kCmdId, kDdcciAddress, kHostAddress, Payload(100));
  Bytes large = SignedRequest(kCmdId, 4, 0, Payload(1000));
  std::int32_t received = 0;
  struct Case {
    const char* name;
    mchid::hid_device* device;
    std::uint8_t* buffer;
    std::int32_t bufLen;
    std::int32_t timeoutMs;
  };
  const Case cases[] = {
      {"no device", nullptr, request.data(), 133, 0},
      {"no buffer", m_handle, nullptr, 133, 0},
      {"time-out below -1", m_handle, request.data(), 133, -2},
      {"buffer shorter than a header", m_handle, request.data(), 32, 0},
      {"request longer than its buffer", m_handle, request.data(), 132, 0},
      {"request beyond the staging buffer", m_handle, large.data(), 1033, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SendCommand(c.device, c.bufLen, c.buffer, &received, c.timeoutMs),
              MC_ERR_INVALID_ARG);
  }
  EXPECT_TRUE(m_device->Writes().empty());
}

}  // namespace

// A monitor that trickles: each byte that arrives restarts the reads' failure count, so only
// the command's deadline bounds how long the device is held.
TEST_F(SendCommandTest, TricklingMonitorHoldsTheCommandNoLongerThanItsDeadline) {
  using testkit::Trickled;
  // Twenty-two messages for every request: the first read and every message skipped past.
  const testkit::Responder endlessMessages = [](const tagMCCMD_HEADER&, const Bytes&) {
    return std::vector<testkit::ScriptedMessage>(22, testkit::UnsolicitedMessage(0x10, 0x01));
  };
  struct Case {
    const char* name;
    testkit::Responder answer;
    std::int32_t bufLen;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"one byte after five silences, messages without end", Trickled(1, 5, endlessMessages),
       128, MC_ERR_NO_REPLY},
      {"full reports after three silences, 51,200 bytes claimed",
       Trickled(64, 3, testkit::ReplyClaimingLength(51200, Bytes(51200, 0x5A))), 32 + 51200,
       MC_ERR_NO_REPLY},
      {"a slow reply that completes in time", Trickled(1, 2, testkit::ReplyStatus(0)), 128, 0},
  };
  m_device->PassTimeOutsOn(&m_clock);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->AnswerEveryRequest(c.answer);
    const auto start = m_clock.Now();
    EXPECT_EQ(Exchange(c.bufLen), c.expected);
    EXPECT_LE(m_clock.Now() - start,
              kCommandDeadline + std::chrono::milliseconds(kExchangeReadTimeoutMs));
    // Nothing left over for the next case.
    Bytes drain(c.bufLen);
    while (m_device->PendingReports() > 0) ReadData(m_handle, c.bufLen, drain.data(), 0);
  }
  EXPECT_FALSE(LinesStartingWith(L"SendCommand gives up: no reply within the command's 60000 ms")
                   .empty());
}
