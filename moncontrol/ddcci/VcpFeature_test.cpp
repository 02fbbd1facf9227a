#include <atomic>
#include <thread>
#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciTest.h"

namespace {

using VcpFeatureTest = DdcciTest;

// opcode result vcp type maxHigh maxLow curHigh curLow
Bytes GetVcpBody(std::uint8_t opcode, std::uint8_t result, std::uint8_t vcp, std::uint16_t maximum,
                 std::uint16_t current) {
  return {opcode, result, vcp, 0x00, static_cast<std::uint8_t>(maximum >> 8), static_cast<std::uint8_t>(maximum),
          static_cast<std::uint8_t>(current >> 8), static_cast<std::uint8_t>(current)};
}

Bytes WithLastByteFlipped(Bytes frame) {
  frame.back() ^= 0x01;
  return frame;
}

TEST_F(VcpFeatureTest, GetVcpAcceptsOnlyAValidReplyForTheCodeAsked) {
  const Bytes valid = DisplayReply(GetVcpBody(0x02, 0x00, 0x10, 100, 50));
  ASSERT_EQ(valid, (Bytes{0x6E, 0x88, 0x02, 0x00, 0x10, 0x00, 0x00, 0x64, 0x00, 0x32, 0xF2}));
  struct Case {
    const char* name;
    testkit::Responder answer;
    std::int32_t result, current, maximum;
  };
  const Case cases[] = {
      {"valid", testkit::ReplyStatus(0, valid), 0, 50, 100},
      {"opcode 01", testkit::ReplyStatus(0, DisplayReply(GetVcpBody(0x01, 0x00, 0x10, 100, 50))), 0, 50, 100},
      {"unsupported code, values as sent", testkit::ReplyStatus(0, DisplayReply(GetVcpBody(0x02, 0x01, 0x10, 0, 7))),
       0, 7, 0},
      {"16-bit values", testkit::ReplyStatus(0, DisplayReply(GetVcpBody(0x02, 0x00, 0x10, 0xABCD, 0x1234))), 0,
       0x1234, 0xABCD},
      {"another code", testkit::ReplyStatus(0, DisplayReply(GetVcpBody(0x02, 0x00, 0x12, 100, 50))), -1008, 0, 0},
      {"another opcode", testkit::ReplyStatus(0, DisplayReply(GetVcpBody(0x03, 0x00, 0x10, 100, 50))), -1008, 0, 0},
      {"wrong checksum", testkit::ReplyStatus(0, WithLastByteFlipped(valid)), -1008, 0, 0},
      {"frame cut short", testkit::ReplyStatus(0, Bytes(valid.begin(), valid.end() - 1)), -1008, 0, 0},
      {"empty reply", testkit::ReplyStatus(0), -1008, 0, 0},
      {"claims more than arrives", testkit::ReplyClaimingLength(40, valid), -1008, 0, 0},
      {"refused", testkit::ReplyStatus(4, valid), -1008, 0, 0},
      {"no reply", testkit::NoReply(), -1008, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->Answer(c.answer);
    std::int32_t current = -1, maximum = -1;
    EXPECT_EQ(GetVCPFeatureL(m_handle, 0x10, &current, &maximum), c.result);
    EXPECT_EQ(current, c.current);
    EXPECT_EQ(maximum, c.maximum);
  }
  EXPECT_EQ(GetVCPFeatureL(m_handle, 0x10, nullptr, nullptr), MC_ERR_INVALID_ARG);
}

TEST_F(VcpFeatureTest, RequestsCarryTheFrameInADdcciHeader) {
  struct Case {
    const char* name;
    std::int32_t (*send)(mchid::hid_device*);
    Bytes payload;
    std::uint32_t param4;
  };
  const Case cases[] = {
      {"get 0x10",
       [](mchid::hid_device* h) {
         std::int32_t c, m;
         return GetVCPFeatureL(h, 0x10, &c, &m);
       },
       {0x51, 0x82, 0x01, 0x10, 0xAC}, 0},
      {"set 0x10 to 50", [](mchid::hid_device* h) { return SetVCPFeatureL(h, 0x10, 50); },
       {0x51, 0x84, 0x03, 0x10, 0x00, 0x32, 0x9A}, 1},
      {"set 0x12 to 0x1234", [](mchid::hid_device* h) { return SetVCPFeatureL(h, 0x12, 0x1234); },
       {0x51, 0x84, 0x03, 0x12, 0x12, 0x34, 0x6E ^ 0x51 ^ 0x84 ^ 0x03 ^ 0x12 ^ 0x12 ^ 0x34}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_device->Answer(testkit::ReplyStatus(0));
    c.send(m_handle);
    ASSERT_EQ(RequestCount(), 1u);
    tagMCCMD_HEADER header = RequestHeader(0);
    EXPECT_EQ(RequestPayload(0), c.payload);
    EXPECT_EQ(+header.dataLength, c.payload.size());
    EXPECT_EQ(+header.cmdType, 0u);
    EXPECT_EQ(+header.param1, 0x6Eu);
    EXPECT_EQ(+header.param2, 0x51u);
    EXPECT_EQ(+header.param3, 0u);
    EXPECT_EQ(+header.param4, c.param4);
  }
}

TEST_F(VcpFeatureTest, SetVcpReturnsTheTransportsResult) {
  m_device->Answer(testkit::ReplyStatus(0));
  EXPECT_EQ(SetVCPFeatureL(m_handle, 0x10, 50), 0);
  m_device->Answer(testkit::ReplyStatus(4));
  EXPECT_EQ(SetVCPFeatureL(m_handle, 0x10, 50), -1996);
  m_device->Answer(testkit::NoReply());
  EXPECT_EQ(SetVCPFeatureL(m_handle, 0x10, 50), MC_ERR_NO_REPLY);
}

TEST_F(VcpFeatureTest, ReadsAndWritesTheSimulatedDisplay) {
  monsim::MonitorDescription monitor;
  monitor.serial = L"SIM1";
  monitor.display.vcp[0x10] = {50, 100, 0};
  std::string id = Simulator().Add(monitor);
  mchid::hid_device* handle = OpenRegistered(L"SIM1");
  ASSERT_NE(handle, nullptr);

  std::int32_t current = 0, maximum = 0;
  ASSERT_EQ(GetVCPFeatureL(handle, 0x10, &current, &maximum), 0);
  EXPECT_EQ(current, 50);
  EXPECT_EQ(maximum, 100);
  ASSERT_EQ(SetVCPFeatureL(handle, 0x10, 75), 0);
  EXPECT_EQ(Simulator().Vcp(id, 0x10)->current, 75);
  ASSERT_EQ(GetVCPFeatureL(handle, 0x10, &current, &maximum), 0);
  EXPECT_EQ(current, 75);

  Simulator().QueueFault(id, monsim::Fault(monsim::FaultKind::BadChecksum));
  EXPECT_EQ(GetVCPFeatureL(handle, 0x10, &current, &maximum), MC_ERR_BAD_REPLY);
  Simulator().QueueFault(id, monsim::Fault(monsim::FaultKind::HostileDataLength, 5000));
  EXPECT_EQ(GetVCPFeatureL(handle, 0x10, &current, &maximum), MC_ERR_BAD_REPLY);
  EXPECT_EQ(current, 0);
}

TEST_F(VcpFeatureTest, ThreadsSharingAHandleTakeTurnsThroughTheDeviceMutex) {
  monsim::MonitorDescription monitor;
  monitor.serial = L"SIM2";
  monitor.display.vcp[0x10] = {50, 100, 0};
  monitor.display.vcp[0x12] = {70, 100, 0};
  Simulator().Add(monitor);
  mchid::hid_device* handle = OpenRegistered(L"SIM2");
  ASSERT_NE(handle, nullptr);

  std::atomic<int> failures{0};
  auto reader = [&](std::uint8_t vcp, std::int32_t expected) {
    for (int i = 0; i < 25; ++i) {
      std::int32_t current = 0, maximum = 0;
      if (GetVCPFeatureL(handle, vcp, &current, &maximum) != 0 || current != expected) ++failures;
    }
  };
  std::thread first(reader, 0x10, 50);
  std::thread second(reader, 0x12, 70);
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
