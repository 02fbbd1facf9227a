#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciTest.h"

namespace {

using DaisyChainTest = DdcciTest;

TEST_F(DaisyChainTest, TunnelFramesWrapACompleteInnerFrame) {
  m_device->AnswerEveryRequest(testkit::ReplyStatus(0));
  ASSERT_EQ(SetVCPFeatureDaisyChain(m_handle, 1, 0x10, 50), 0);
  std::int32_t current = 0, maximum = 0;
  GetVCPFeatureDaisyChain(m_handle, 1, 0x10, &current, &maximum);

  ASSERT_EQ(RequestCount(), 2u);
  EXPECT_EQ(RequestPayload(0),
            (Bytes{0x51, 0x8B, 0xCE, 0xAB, 0x01, 0x6E, 0x51, 0x84, 0x03, 0x10, 0x00, 0x32, 0x9A, 0xD0}));
  EXPECT_EQ(+RequestHeader(0).dataLength, 14u);
  EXPECT_EQ(+RequestHeader(0).param4, 1u);
  EXPECT_EQ(RequestPayload(1), (Bytes{0x51, 0x89, 0xCE, 0xAB, 0x01, 0x6E, 0x51, 0x82, 0x01, 0x10, 0xAC, 0xD2}));
  EXPECT_EQ(+RequestHeader(1).dataLength, 12u);
  EXPECT_EQ(+RequestHeader(1).param4, 0u);
}

TEST_F(DaisyChainTest, ReachesTheSimulatedMonitorBehindThePort) {
  monsim::MonitorDescription monitor;
  monitor.serial = L"CHAIN";
  monitor.display.vcp[0x10] = {50, 100, 0};
  monitor.chain[1].vcp[0x10] = {20, 100, 0};
  std::string id = Simulator().Add(monitor);
  mchid::hid_device* handle = OpenRegistered(L"CHAIN");
  ASSERT_NE(handle, nullptr);

  std::int32_t current = 0, maximum = 0;
  ASSERT_EQ(GetVCPFeatureDaisyChain(handle, 1, 0x10, &current, &maximum), 0);
  EXPECT_EQ(current, 20);
  EXPECT_EQ(maximum, 100);
  ASSERT_EQ(SetVCPFeatureDaisyChain(handle, 1, 0x10, 30), 0);
  EXPECT_EQ(Simulator().Vcp(id, 0x10, 1)->current, 30);
  EXPECT_EQ(Simulator().Vcp(id, 0x10)->current, 50);

  // Nothing is chained at port 2.
  EXPECT_EQ(GetVCPFeatureDaisyChain(handle, 2, 0x10, &current, &maximum), MC_ERR_BAD_REPLY);
  EXPECT_EQ(current, 0);
}

TEST_F(DaisyChainTest, TheInnerReplyMustBeCompleteAndValid) {
  const Bytes inner = DisplayReply({0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x14});
  Bytes body{0xCE, 0xAB};
  body.insert(body.end(), inner.begin(), inner.end());
  const Bytes whole = DisplayReply(body);
  struct Case {
    const char* name;
    Bytes reply;
    std::int32_t result, current;
  };
  const Case cases[] = {
      {"complete", whole, 0, 20},
      {"inner frame cut short", Bytes(whole.begin(), whole.end() - 2), MC_ERR_BAD_REPLY, 0},
      {"tunnel header only", Bytes(whole.begin(), whole.begin() + 4), MC_ERR_BAD_REPLY, 0},
      {"inner reply for another code", [&] {
         Bytes other{0xCE, 0xAB};
         Bytes frame = DisplayReply({0x02, 0x00, 0x12, 0x00, 0x00, 0x64, 0x00, 0x14});
         other.insert(other.end(), frame.begin(), frame.end());
         return DisplayReply(other);
       }(),
       MC_ERR_BAD_REPLY, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->Answer(testkit::ReplyStatus(0, c.reply));
    std::int32_t current = -1, maximum = -1;
    EXPECT_EQ(GetVCPFeatureDaisyChain(m_handle, 1, 0x10, &current, &maximum), c.result);
    EXPECT_EQ(current, c.current);
  }
}

}  // namespace
