#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"

namespace {

using DaisyChainFuncTest = VendorTest;

struct Step {
  const char* name;
  std::uint8_t subFunction;
  std::function<std::int32_t(mchid::hid_device*)> run;
};

const Step kSteps[] = {
    {"CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode", 0,
     [](mchid::hid_device* h) { return CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode(h, 32); }},
    {"CallDaisyChainNegotiateMonitorReadiness", 1,
     [](mchid::hid_device* h) { return CallDaisyChainNegotiateMonitorReadiness(h, 1, 500); }},
    {"CallDaisyChainNotifyScalarPrepareEnvironment", 2,
     [](mchid::hid_device* h) { return CallDaisyChainNotifyScalarPrepareEnvironment(h); }},
    {"CallDaisyChainNotifyPackageSendFinished", 3,
     [](mchid::hid_device* h) { return CallDaisyChainNotifyPackageSendFinished(h, 1); }},
};

TEST_F(DaisyChainFuncTest, EachStepReturnsItsResultOrMinus1300Minus10fMinusK) {
  struct Outcome {
    const char* name;
    std::function<Bytes(std::uint8_t step)> reply;
    std::function<std::int32_t(std::uint8_t step)> result;
  };
  const Outcome outcomes[] = {
      {"result", [](std::uint8_t f) { return VendorAnswer(0xA9, {f, 0xC8, 0x00}); },
       [](std::uint8_t) { return 200; }},
      {"k = 0: no reply data", [](std::uint8_t) { return DisplayReply({}); },
       [](std::uint8_t f) { return -1300 - 10 * f; }},
      {"k = 1: reply for another step", [](std::uint8_t f) { return VendorAnswer(0xA9, {std::uint8_t(f + 1), 5, 0}); },
       [](std::uint8_t f) { return -1301 - 10 * f; }},
      {"k = 2: failure flag", [](std::uint8_t f) { return VendorAnswer(0xA9, {f, 5, 1}); },
       [](std::uint8_t f) { return -1302 - 10 * f; }},
  };
  for (const Step& step : kSteps) {
    for (const Outcome& outcome : outcomes) {
      SCOPED_TRACE(testing::Message() << step.name << ", " << outcome.name);
      m_device->ClearRecords();
      Reply(outcome.reply(step.subFunction));
      EXPECT_EQ(step.run(m_handle), outcome.result(step.subFunction));
      ASSERT_EQ(RequestCount(), 1u);
      EXPECT_EQ(RequestPayload(0)[4], step.subFunction);
    }
  }
}

TEST_F(DaisyChainFuncTest, StepsLogTheirNameWithTheReplyData) {
  Reply(VendorAnswer(0xA9, {1, 7, 0}));
  EXPECT_EQ(CallDaisyChainNegotiateMonitorReadiness(m_handle, 1, 2), 7);
  Reply(VendorAnswer(0xA9, {2, 9, 0}));
  EXPECT_EQ(CallDaisyChainNegotiateMonitorReadiness(m_handle, 1, 2), -1311);
  const std::vector<std::string> lines = LogLines();
  auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(has("CallDaisyChainNegotiateMonitorReadiness Start"));
  EXPECT_TRUE(has("CallDaisyChainFunc subVcp = 1, bufSize = 3"));
  EXPECT_TRUE(has("CallDaisyChainNegotiateMonitorReadiness End bufSize = 3"));
  EXPECT_TRUE(has("CallDaisyChainNegotiateMonitorReadiness retData = 1 , 7 , 0."));
  EXPECT_EQ(m_log.Errors(), std::vector<std::string>{"CallDaisyChainNegotiateMonitorReadiness ERRORCODE = 2 , 9 , 0."});
}

TEST_F(DaisyChainFuncTest, TheFunctionHandsOutTheReplyData) {
  Reply(VendorAnswer(0xA9, {4, 1, 0, 0x55}));
  std::uint32_t size = 0;
  Handed reply(CallDaisyChainFunc(m_handle, 4, 0, 0, 0, 0, 0, &size));
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(Bytes(reply.get(), reply.get() + 4), (Bytes{4, 1, 0, 0x55}));
}

}  // namespace
