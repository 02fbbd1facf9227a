#include "moncontrol/ddcci/VcpConvenienceApi.h"

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/VcpConvenienceTest.h"

namespace {

using VcpConvenienceTest = DdcciTest;
using Setter = std::int32_t (*)(mchid::hid_device*, std::int32_t);
using Getter = std::int32_t (*)(mchid::hid_device*, std::int32_t*, std::int32_t*);

struct SetterCase {
  const char* name;
  Setter set;
  std::uint8_t vcp;
  std::vector<std::int32_t> accepted;
  std::vector<std::int32_t> refused;
};

// Each range's ends and the values just outside them.
const SetterCase kSetters[] = {
    {"brightness", SetBrightness, 0x10, {0, 1, 99, 100}, {-1, 101, 0x10032}},
    {"contrast", SetContrast, 0x12, {0, 100}, {-1, 101}},
    {"colour preset", SetColorPreset, 0x14, {1, 2, 5, 6, 8, 11, 19}, {0, 3, 4, 7, 9, 10, 20, -1}},
    {"scenario mode", SetScenarioMode, 0xDC, {0, 1, 3, 5, 9}, {-1, 2, 4, 10}},
    {"input source", SetInputSource, 0x60, {0, 0x0F, 0xFFFF}, {}},
    {"window select", SetWindowSelect, 0xA5, {0, 2}, {}},
    {"PIP/PBP swap", SetPipPbpSwap, 0xF2, {1}, {}},
    {"restore factory", SetRestoreFactory, 0x04, {1}, {}},
    {"power mode", SetPowerMode, 0xD6, {1, 5}, {}},
};

TEST_F(VcpConvenienceTest, SettersSendAcceptedValuesAndRefuseOthersWithoutARequest) {
  for (const SetterCase& c : kSetters) {
    SCOPED_TRACE(c.name);
    for (std::int32_t value : c.accepted) {
      SCOPED_TRACE(value);
      m_device->ClearRecords();
      m_device->Answer(testkit::ReplyStatus(0));
      EXPECT_EQ(c.set(m_handle, value), 0);
      ASSERT_EQ(RequestCount(), 1u);
      EXPECT_EQ(RequestPayload(0), SetVcpPayload(c.vcp, static_cast<std::uint16_t>(value)));
    }
    for (std::int32_t value : c.refused) {
      SCOPED_TRACE(value);
      m_device->ClearRecords();
      EXPECT_EQ(c.set(m_handle, value), MC_ERR_INVALID_ARG);
      EXPECT_EQ(RequestCount(), 0u);
    }
    EXPECT_EQ(c.set(nullptr, c.accepted.front()), MC_ERR_INVALID_ARG);
  }
}

TEST_F(VcpConvenienceTest, SettersOfAnyValueSendItsLow16Bits) {
  m_device->Answer(testkit::ReplyStatus(0));
  EXPECT_EQ(SetInputSource(m_handle, 0x12345), 0);
  ASSERT_EQ(RequestCount(), 1u);
  EXPECT_EQ(RequestPayload(0), SetVcpPayload(0x60, 0x2345));
}

TEST_F(VcpConvenienceTest, SettersReturnTheTransportsResult) {
  m_device->Answer(testkit::ReplyStatus(4));
  EXPECT_EQ(SetBrightness(m_handle, 50), -1996);
  m_device->Answer(testkit::NoReply());
  EXPECT_EQ(SetPowerMode(m_handle, 1), MC_ERR_NO_REPLY);
}

TEST_F(VcpConvenienceTest, GettersReadTheirCode) {
  struct Case {
    const char* name;
    Getter get;
    std::uint8_t vcp;
  };
  const Case cases[] = {
      {"brightness", GetBrightness, 0x10},          {"contrast", GetContrast, 0x12},
      {"colour preset", GetColorPreset, 0x14},      {"scenario mode", GetScenarioMode, 0xDC},
      {"input source", GetInputSource, 0x60},       {"window select", GetWindowSelect, 0xA5},
      {"PIP/PBP swap", GetPipPbpSwap, 0xF2},        {"restore factory", GetRestoreFactory, 0x04},
      {"firmware version", GetFirmwareVersion, 0xC9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_device->Answer(GetVcpReply(c.vcp, 0x0102, 0x0304));
    std::int32_t current = 0, maximum = 0;
    EXPECT_EQ(c.get(m_handle, &current, &maximum), 0);
    EXPECT_EQ(current, 0x0102);
    EXPECT_EQ(maximum, 0x0304);
    ASSERT_EQ(RequestCount(), 1u);
    EXPECT_EQ(RequestPayload(0), GetVcpPayload(c.vcp));
  }
  m_device->Answer(GetVcpReply(0x12, 50, 100));  // a reply for another code
  std::int32_t current = -1, maximum = -1;
  EXPECT_EQ(GetBrightness(m_handle, &current, &maximum), MC_ERR_BAD_REPLY);
  EXPECT_EQ(current, 0);
}

}  // namespace
