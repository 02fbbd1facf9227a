#include <cstring>
#include <functional>
#include <vector>

#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"

namespace {

using VendorCommandTest = VendorTest;

struct Command {
  const char* name;
  std::function<void(mchid::hid_device*)> run;
  Bytes frame;  // without its checksum
};

std::vector<Command> EveryVendorCommand() {
  return {
      {"monitor count", [](mchid::hid_device* h) { CallGetMonitorCount(h, 2); }, {0x51, 0x83, 0xCE, 0xA0, 0x02}},
      {"monitor status",
       [](mchid::hid_device* h) {
         std::uint8_t error = 0;
         CallGetMonitorStatus(h, 1, &error);
       },
       {0x51, 0x83, 0xCE, 0xA8, 0x01}},
      {"firmware transfers finished", [](mchid::hid_device* h) { CallNotifyAllFwTransFinished(h, 3); },
       {0x51, 0x83, 0xCE, 0xA6, 0x03}},
      {"update condition, child count first",
       [](mchid::hid_device* h) { CallSpecifyUpdateCondition(h, 1, 2, 0x1234, 0xABCD, 5, 0x01020304); },
       {0x51, 0x8D, 0xCE, 0xA3, 0x02, 0x01, 0x34, 0x12, 0xCD, 0xAB, 0x05, 0x04, 0x03, 0x02, 0x01}},
      {"UART pass-through",
       [](mchid::hid_device* h) {
         const std::uint8_t payload[] = {0x10, 0x20, 0x30};
         std::int32_t length = 3;
         std::uint32_t size = 0;
         Handed(CallPassUartCommand(h, &size, &length, payload));
       },
       {0x51, 0x85, 0xCE, 0xC0, 0x10, 0x20, 0x30}},
      {"daisy-chain function",
       [](mchid::hid_device* h) {
         std::uint32_t size = 0;
         Handed(CallDaisyChainFunc(h, 7, 1, 2, 3, 4, 5, &size));
       },
       {0x51, 0x88, 0xCE, 0xA9, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05}},
      {"daisy chain: I2C buffer size",
       [](mchid::hid_device* h) { CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode(h, 0x40); },
       {0x51, 0x88, 0xCE, 0xA9, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00}},
      {"daisy chain: readiness, its value least significant byte first",
       [](mchid::hid_device* h) { CallDaisyChainNegotiateMonitorReadiness(h, 3, 0x11223344); },
       {0x51, 0x88, 0xCE, 0xA9, 0x01, 0x03, 0x44, 0x33, 0x22, 0x11}},
      {"daisy chain: prepare environment",
       [](mchid::hid_device* h) { CallDaisyChainNotifyScalarPrepareEnvironment(h); },
       {0x51, 0x88, 0xCE, 0xA9, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"daisy chain: package sent", [](mchid::hid_device* h) { CallDaisyChainNotifyPackageSendFinished(h, 9); },
       {0x51, 0x88, 0xCE, 0xA9, 0x03, 0x09, 0x00, 0x00, 0x00, 0x00}},
      {"monitor information table", [](mchid::hid_device* h) { Handed(CallGetMonitorInfo(h, 2)); },
       {0x51, 0x86, 0xCE, 0xA1, 0x00, 0x02, 0x00, 0x00}},
      {"child-device table, child before monitor", [](mchid::hid_device* h) { Handed(CallGetChildInfo(h, 1, 4)); },
       {0x51, 0x86, 0xCE, 0xA2, 0x04, 0x01, 0x00, 0x00}},
  };
}

TEST_F(VendorCommandTest, EveryCommandSendsItsVendorFrameInADdcciHeader) {
  for (const Command& command : EveryVendorCommand()) {
    SCOPED_TRACE(command.name);
    m_device->ClearRecords();
    m_device->AnswerEveryRequest(testkit::ReplyStatus(0, DisplayReply({})));
    command.run(m_handle);
    ASSERT_GE(RequestCount(), 1u);
    const Bytes expected = WithRequestChecksum(command.frame);
    EXPECT_EQ(RequestPayload(0), expected);
    const tagMCCMD_HEADER header = RequestHeader(0);
    EXPECT_EQ(+header.dataLength, expected.size());
    EXPECT_EQ(+header.cmdType, MCCMD_TYPE_DDCCI);
    EXPECT_EQ(+header.param1, 0x6Eu);
    EXPECT_EQ(+header.param2, 0x51u);
    EXPECT_EQ(+header.param4, 0u);
  }
}

TEST_F(VendorCommandTest, TheReplyDataAreWhatItsLengthByteNamesAndNoMore) {
  Bytes longest = Counting(125, 1);
  Bytes claimsTooMuch = VendorAnswer(0xA0, {0x00, 0x02, 0x03});
  claimsTooMuch[1] = 0x8A;
  struct Case {
    const char* name;
    testkit::Responder answer;
    Bytes data;
  };
  const Case cases[] = {
      {"two data bytes", testkit::ReplyStatus(0, VendorAnswer(0xA0, {0x00, 0x02})), {0x00, 0x02}},
      {"the longest reply", testkit::ReplyStatus(0, VendorAnswer(0xA0, longest)), longest},
      {"null message", testkit::ReplyStatus(0, DisplayReply({})), {}},
      {"length byte 0x81", testkit::ReplyStatus(0, DisplayReply({0xCE})), {}},
      {"length byte 0x82", testkit::ReplyStatus(0, DisplayReply({0xCE, 0xA0})), {}},
      {"length byte claims more than arrived", testkit::ReplyStatus(0, claimsTooMuch), {}},
      {"one byte", testkit::ReplyStatus(0, {0x6E}), {}},
      {"refused", testkit::ReplyStatus(4, VendorAnswer(0xA0, {0x00, 0x02})), {}},
      {"no reply", testkit::NoReply(), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->Answer(c.answer);
    std::uint32_t size = 0xDEAD;
    const std::uint8_t payload[] = {0};
    Handed result(CallDdcciCmd(m_handle, &size, 0xA0, 1, payload));
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(size, c.data.size());
    EXPECT_EQ(Bytes(result.get(), result.get() + size), c.data);
    EXPECT_EQ(Bytes(result.get() + size, result.get() + 1024), Bytes(1024 - size, 0));
  }
}

TEST_F(VendorCommandTest, APayloadThatDoesNotFitAFrameIsNotSent) {
  Reply(VendorAnswer(0xC0, {0x01}));
  const Bytes payload(200, 0x5A);
  std::uint32_t size = 0;
  Handed longest(CallDdcciCmd(m_handle, &size, 0xC0, 125, payload.data()));
  ASSERT_EQ(RequestCount(), 1u);
  EXPECT_EQ(RequestPayload(0).size(), 130u);
  EXPECT_EQ(RequestPayload(0)[1], 0xFF);
  EXPECT_EQ(size, 1u);

  for (std::int32_t length : {126, 200, -1}) {
    SCOPED_TRACE(length);
    size = 0xDEAD;
    Handed refused(CallDdcciCmd(m_handle, &size, 0xC0, length, payload.data()));
    EXPECT_NE(refused, nullptr);
    EXPECT_EQ(size, 0u);
  }
  size = 0xDEAD;
  Handed nothing(CallDdcciCmd(m_handle, &size, 0xC0, 4, nullptr));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(RequestCount(), 1u);

  std::int32_t length = 126;
  size = 0xDEAD;
  EXPECT_EQ(CallPassUartCommand(m_handle, &size, &length, payload.data()), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(RequestCount(), 1u);
}

TEST_F(VendorCommandTest, MonitorCountTriesThreeTimesPausingByTheErrorCode) {
  const Bytes empty = DisplayReply({});
  auto count = [](std::uint8_t error, std::uint8_t value) { return VendorAnswer(0xA0, {error, value}); };
  struct Case {
    const char* name;
    std::vector<Bytes> replies;
    std::uint8_t result;
    std::vector<long long> sleeps;
  };
  const Case cases[] = {
      {"good at once", {count(0, 5)}, 5, {}},
      {"busy three times", {count(6, 5), count(6, 5), count(6, 5)}, 0, {1000, 1000, 1000}},
      {"another error, then good", {count(2, 9), count(0, 3)}, 3, {100}},
      {"empty replies do not pause", {empty, empty, count(0, 4)}, 4, {}},
      {"nothing but empty replies", {empty, empty, empty}, 0, {}},
      {"good with a count of 0", {count(0, 0)}, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_clock.ClearSleeps();
    for (const Bytes& reply : c.replies) Reply(reply);
    EXPECT_EQ(CallGetMonitorCount(m_handle, 0), c.result);
    EXPECT_EQ(RequestCount(), c.replies.size());
    EXPECT_EQ(m_clock.Sleeps(), c.sleeps);
  }
  EXPECT_EQ(m_log.Errors(), std::vector<std::string>({"CallGetMonitorCount ERRORCODE = 6 ",
                                                       "CallGetMonitorCount ERRORCODE = 6 ",
                                                       "CallGetMonitorCount ERRORCODE = 6 ",
                                                       "CallGetMonitorCount ERRORCODE = 2 "}));
}

TEST_F(VendorCommandTest, OneByteAnswersAndTheirFailures) {
  constexpr std::uint8_t kUntouched = 0xEE;
  struct Case {
    const char* name;
    std::function<int(std::uint8_t*)> run;
    Bytes reply;
    int result;
    std::uint8_t errorCode;
  };
  auto status = [this](std::uint8_t* error) { return CallGetMonitorStatus(m_handle, 0, error); };
  auto finished = [this](std::uint8_t*) { return CallNotifyAllFwTransFinished(m_handle, 0); };
  auto condition = [this](std::uint8_t*) { return CallSpecifyUpdateCondition(m_handle, 0, 1, 2, 3, 4, 5); };
  const Case cases[] = {
      {"status", status, VendorAnswer(0xA8, {0x00, 0x07}), 7, 0},
      {"status with an error code", status, VendorAnswer(0xA8, {0x03, 0x07}), 0, 3},
      {"status without reply data", status, DisplayReply({}), 0, kUntouched},
      {"transfers finished", finished, VendorAnswer(0xA6, {0x01}), 1, kUntouched},
      {"transfers finished without reply data", finished, DisplayReply({}), 0, kUntouched},
      {"update condition", condition, VendorAnswer(0xA3, {0x00}), 1, kUntouched},
      {"update condition without reply data", condition, DisplayReply({}), 1, kUntouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reply(c.reply);
    std::uint8_t error = kUntouched;
    EXPECT_EQ(c.run(&error), c.result);
    EXPECT_EQ(error, c.errorCode);
  }
  EXPECT_EQ(m_log.Errors(), std::vector<std::string>({"CallGetMonitorStatus ERRORCODE = 3 ",
                                                       "CallSpecifyUpdateCondition ERROR ret=0."}));
}

TEST_F(VendorCommandTest, UartPassThroughHandsOutTheReplyOnlyWhenThereIsOne) {
  const std::uint8_t payload[] = {0x41, 0x54};
  std::int32_t length = 2;
  std::uint32_t size = 0;
  Reply(VendorAnswer(0xC0, {0x4F, 0x4B, 0x0D}));
  Handed reply(CallPassUartCommand(m_handle, &size, &length, payload));
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(Bytes(reply.get(), reply.get() + 3), (Bytes{0x4F, 0x4B, 0x0D}));

  Reply(DisplayReply({}));
  size = 0xDEAD;
  EXPECT_EQ(CallPassUartCommand(m_handle, &size, &length, payload), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(VendorCommandTest, ADeviceMutexThatStaysTakenFailsEveryCommandBeforeItSends) {
  // An unregistered handle locks "Global\HalvaneSDK", which nobody created here.
  mchid::hid_device* unregistered = OpenUnregistered(m_device->Collection().path);
  ASSERT_NE(unregistered, nullptr);
  for (const Command& command : EveryVendorCommand()) {
    SCOPED_TRACE(command.name);
    command.run(unregistered);
  }
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_EQ(CallGetMonitorCount(unregistered, 0), 0);
  EXPECT_EQ(CallDaisyChainNotifyScalarPrepareEnvironment(unregistered), -1320);
  EXPECT_EQ(CallGetMonitorInfo(unregistered, 0), nullptr);
}

}  // namespace
