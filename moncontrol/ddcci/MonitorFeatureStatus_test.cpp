#include <algorithm>
#include <array>
#include <optional>

#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/MonitorFeatureApi.h"

namespace {

class MonitorFeatureStatusTest : public MonCtrlTest {
 protected:
  // A simulated monitor whose function answers with these data bytes.
  mchid::hid_device* MonitorAnswering(std::uint32_t function, std::vector<std::uint8_t> data) {
    monsim::MonitorDescription monitor;
    monitor.serial = L"SIM1";
    monitor.functions.definitions[function] = monsim::FunctionAnswering(std::move(data));
    m_id = Simulator().Add(monitor);
    return OpenRegistered(L"SIM1");
  }
  std::vector<monsim::FunctionCall> Calls() { return Simulator().State(m_id)->functions.calls; }

  std::string m_id;
};

TEST_F(MonitorFeatureStatusTest, HpdStatusIsTheReplysFirstFourBytesLittleEndian) {
  mchid::hid_device* handle = MonitorAnswering(32, {0x78, 0x56, 0x34, 0x12, 0xFF});
  ASSERT_NE(handle, nullptr);
  std::int32_t status = 0;
  EXPECT_EQ(GetHPDStatus(handle, &status), 0);
  EXPECT_EQ(status, 0x12345678);
  const std::vector<monsim::FunctionCall> calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  const monsim::FunctionCall& call = calls[0];
  EXPECT_EQ(call.code, 32u);
  EXPECT_EQ(call.param2 | call.param3 | call.param4, 0u);
  EXPECT_TRUE(call.data.empty());
}

TEST_F(MonitorFeatureStatusTest, HpdStatusOfFewerThanFourBytesIsABadReply) {
  mchid::hid_device* handle = MonitorAnswering(32, {0x01, 0x02});
  ASSERT_NE(handle, nullptr);
  std::int32_t status = -7;
  EXPECT_EQ(GetHPDStatus(handle, &status), MC_ERR_BAD_REPLY);
  EXPECT_EQ(status, -7);
}

TEST_F(MonitorFeatureStatusTest, RefusesANullOutputWithoutACall) {
  mchid::hid_device* handle = MonitorAnswering(32, {0x01, 0x00, 0x00, 0x00});
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GetHPDStatus(handle, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(GetGsensorStatus(handle, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_TRUE(Calls().empty());
  std::int32_t status = -7;
  EXPECT_EQ(GetHPDStatus(nullptr, &status), MC_ERR_NULL_DEVICE);
  EXPECT_EQ(status, -7);
}

TEST_F(MonitorFeatureStatusTest, GsensorStatusFillsTheCallersSixteenBytes) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> reply;
    std::array<std::uint8_t, 16> expected;
  };
  const Case cases[] = {
      {"sixteen", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
      {"shorter: zeros after it", {7, 8, 9}, {7, 8, 9}},
      {"longer: cut at sixteen", std::vector<std::uint8_t>(40, 0x5A), {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A,
                                                                       0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mchid::hid_device* handle = MonitorAnswering(33, c.reply);
    ASSERT_NE(handle, nullptr);
    // The caller's 16 bytes, with guards on either side.
    std::array<std::uint8_t, 20> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(GetGsensorStatus(handle, buffer.data() + 2), 0);
    EXPECT_TRUE(std::equal(c.expected.begin(), c.expected.end(), buffer.begin() + 2));
    EXPECT_EQ(buffer[0] & buffer[1] & buffer[18] & buffer[19], 0xEE);
    EXPECT_EQ(Calls().back().code, 33u);
    Close(handle);
    Simulator().Unplug(m_id);
  }
}

TEST_F(MonitorFeatureStatusTest, FailuresLeaveTheOutputsAlone) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> reply;
    std::optional<monsim::Fault> fault;
    std::int32_t result;
  };
  const Case cases[] = {
      {"refused", {1, 2, 3, 4}, monsim::Fault(monsim::FaultKind::Status, 4), -1996},
      {"no reply", {1, 2, 3, 4}, monsim::Fault(monsim::FaultKind::Missing), MC_ERR_NO_REPLY},
      {"no data", {}, std::nullopt, MC_ERR_BAD_REPLY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    monsim::MonitorDescription monitor;
    monitor.serial = L"SIM1";
    monitor.functions.definitions[32] = monsim::FunctionAnswering(c.reply);
    monitor.functions.definitions[33] = monsim::FunctionAnswering(c.reply);
    m_id = Simulator().Add(monitor);
    mchid::hid_device* handle = OpenRegistered(L"SIM1");
    ASSERT_NE(handle, nullptr);

    if (c.fault) Simulator().QueueFault(m_id, *c.fault);
    std::int32_t status = -7;
    EXPECT_EQ(GetHPDStatus(handle, &status), c.result);
    EXPECT_EQ(status, -7);
    if (c.fault) Simulator().QueueFault(m_id, *c.fault);
    std::array<std::uint8_t, 16> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(GetGsensorStatus(handle, buffer.data()), c.result);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0xEE; }));
    Close(handle);
    Simulator().Unplug(m_id);
  }
}

}  // namespace
