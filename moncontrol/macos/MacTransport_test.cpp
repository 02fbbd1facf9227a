// The transport of the macOS build: the exchange table of the shared transport over the macOS
// HID layer, and what macOS does differently (no dumps, padding to the device's report size).
#include <algorithm>
#include <iterator>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/macos/testing/MacScriptedHidFixture.h"
#include "moncontrol/transport/ExchangeCases.h"
#include "moncontrol/transport/HidTransport.h"

namespace {

using namespace exchange_cases;

std::vector<ExchangeCase> CasesWithoutReadCounting() {
  std::vector<ExchangeCase> cases;
  std::copy_if(kExchanges.begin(), kExchanges.end(), std::back_inserter(cases),
               [](const ExchangeCase& c) { return !c.countsReads; });
  return cases;
}

class MacSendCommandExchange : public MacScriptedHidFixture,
                               public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(MacSendCommandExchange, ResultSendsAndPauses) {
  const ExchangeCase& c = GetParam();
  for (const Responder& answer : c.answers) m_device->Answer(answer);
  m_device->FailNextWrites(c.failWrites);
  const Bytes request = SignedRequest(kCmdId, c.param1, c.param2, {0x51, 0x82, 0x01, 0x10});
  Bytes buffer = request;
  buffer.resize(static_cast<std::size_t>(c.bufLen));

  std::int32_t received = -1;
  EXPECT_EQ(SendCommand(m_handle, c.bufLen, buffer.data(), &received, -1), c.expected);

  const std::vector<Bytes> requests = m_device->Requests();
  EXPECT_EQ(requests.size(), c.sends);
  for (const Bytes& sent : requests) EXPECT_EQ(sent, request);
  EXPECT_EQ(m_clock.Sleeps(), c.sleeps);
  if (c.expected == 0) {
    EXPECT_EQ(received, c.received);
    EXPECT_EQ(+LoadMccmdReceiveHeader(buffer.data()).cmdID, kCmdId);
  } else {
    EXPECT_EQ(received, -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, MacSendCommandExchange, ::testing::ValuesIn(CasesWithoutReadCounting()),
                         [](const auto& info) { return info.param.name; });

class MacTransportTest : public MacScriptedHidFixture {
 protected:
  std::int32_t Exchange() {
    m_buffer = SignedRequest(kCmdId, kDdcciAddress, kHostAddress, {0x51, 0x82, 0x01, 0x10});
    m_buffer.resize(128);
    std::int32_t received = 0;
    return SendCommand(m_handle, 128, m_buffer.data(), &received, 0);
  }

  Bytes m_buffer;
};

TEST_F(MacTransportTest, RetryLinesKeepTheirLevelsAndNoDumpIsWritten) {
  m_device->Answer(ReplyStatus(2));
  m_device->Answer(Together(ReplyForOtherCommand(), ReplyStatus(0)));
  ASSERT_EQ(Exchange(), 0);
  char otherCommand[160];
  std::snprintf(otherCommand, sizeof otherCommand,
                "[WARN] reSend=4,SendCommand cmdID != pReceiveCmdHeader->cmdID %lld , %lld",
                static_cast<long long>(kCmdId), static_cast<long long>(kCmdId ^ 0x00FF0000u));
  EXPECT_EQ(LogLines(), std::vector<std::string>({
                            "[WARN] param1 error param1 != HID_ACK_SUCCESS param1 = 2",
                            "[INFO] SendCommand retry = 4",
                            otherCommand,
                            "[WARN] SendCommand retry = 1 OK",
                        }));
}

TEST_F(MacTransportTest, SilenceEndsInNoReply) {
  m_device->Answer(NoReply());
  EXPECT_EQ(Exchange(), MC_ERR_NO_REPLY);
  EXPECT_EQ(LogLinesStartingWith("[WARN] ReadData retry OVER"),
            std::vector<std::string>({"[WARN] ReadData retry OVER -1005."}));
}

TEST_F(MacTransportTest, ShortRequestGoesOutAsOneFullReportAndCountsWhatWasAsked) {
  Bytes request(40);
  for (std::size_t i = 0; i < request.size(); ++i) request[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(WriteData(m_handle, 40, request.data()), 40);

  Bytes expected(65, 0);  // the report ID, then the device's 64 bytes
  std::copy(request.begin() + 1, request.end(), expected.begin() + 1);
  EXPECT_EQ(m_device->Writes(), std::vector<Bytes>({expected}));
}

TEST_F(MacTransportTest, NoReplyCommandsRetryThroughTheLayer) {
  m_device->FailNextWrites(10);  // the whole first try
  const Bytes request = SignedRequest(kCmdId, kDdcciAddress, kHostAddress, {0x51, 0x82, 0x01, 0x10});
  std::int32_t written = 0;
  EXPECT_EQ(SendCommandNoReply(m_handle, 0, request.data(), &written, 0), 0);
  EXPECT_EQ(written, static_cast<std::int32_t>(request.size()));
  EXPECT_EQ(m_device->Requests(), std::vector<Bytes>({request}));
  EXPECT_EQ(LogLines(), std::vector<std::string>({"[INFO] SendCommandNoReply reSend = 3."}));
}

}  // namespace
