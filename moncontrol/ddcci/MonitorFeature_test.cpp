#include "moncontrol/ddcci/MonitorFeatureApi.h"

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/VcpConvenienceTest.h"

namespace {

using MonitorFeatureTest = DdcciTest;

TEST_F(MonitorFeatureTest, GetSelectsTheSubFeatureThenReadsF7WithoutAPause) {
  m_device->Answer(testkit::ReplyStatus(0));
  m_device->Answer(GetVcpReply(0xF7, 2, 3));
  std::int32_t current = 0, maximum = 0;
  EXPECT_EQ(GetMonitorFeature(m_handle, 0x0105, &current, &maximum), 0);
  EXPECT_EQ(current, 2);
  EXPECT_EQ(maximum, 3);
  ASSERT_EQ(RequestCount(), 2u);
  EXPECT_EQ(RequestPayload(0), SetVcpPayload(0xF8, 0x0105));
  EXPECT_EQ(RequestPayload(1), GetVcpPayload(0xF7));
  EXPECT_EQ(m_clock.Sleeps(), std::vector<long long>{});
}

TEST_F(MonitorFeatureTest, SetSelectsTheSubFeatureThenWritesF7WithoutAPause) {
  m_device->AnswerEveryRequest(testkit::ReplyStatus(0));
  EXPECT_EQ(SetMonitorFeature(m_handle, 0x05, 0x12345), 0);
  ASSERT_EQ(RequestCount(), 2u);
  EXPECT_EQ(RequestPayload(0), SetVcpPayload(0xF8, 0x05));
  EXPECT_EQ(RequestPayload(1), SetVcpPayload(0xF7, 0x2345));
  EXPECT_EQ(m_clock.Sleeps(), std::vector<long long>{});
}

TEST_F(MonitorFeatureTest, AFailedSelectIsReturnedAndF7IsLeftAlone) {
  struct Case {
    const char* name;
    testkit::Responder select;
    std::int32_t result;
  };
  const Case cases[] = {
      {"refused", testkit::ReplyStatus(4), -1996},
      {"no reply", testkit::NoReply(), MC_ERR_NO_REPLY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_device->Answer(c.select);
    std::int32_t current = -1, maximum = -1;
    EXPECT_EQ(GetMonitorFeature(m_handle, 0x05, &current, &maximum), c.result);
    EXPECT_EQ(RequestCount(), 1u);

    m_device->ClearRecords();
    m_device->Answer(c.select);
    EXPECT_EQ(SetMonitorFeature(m_handle, 0x05, 1), c.result);
    EXPECT_EQ(RequestCount(), 1u);
  }
}

TEST_F(MonitorFeatureTest, RefusesANullHandleOrOutputWithoutARequest) {
  std::int32_t current = 0, maximum = 0;
  EXPECT_EQ(GetMonitorFeature(nullptr, 0x05, &current, &maximum), MC_ERR_INVALID_ARG);
  EXPECT_EQ(GetMonitorFeature(m_handle, 0x05, nullptr, &maximum), MC_ERR_INVALID_ARG);
  EXPECT_EQ(GetMonitorFeature(m_handle, 0x05, &current, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(SetMonitorFeature(nullptr, 0x05, 1), MC_ERR_INVALID_ARG);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(MonitorFeatureTest, ReadsBackWhatItWroteOnTheSimulatedDisplay) {
  monsim::MonitorDescription monitor;
  monitor.serial = L"SIM1";
  monitor.display.extended[0x05] = {1, 3, 0};
  std::string id = Simulator().Add(monitor);
  mchid::hid_device* handle = OpenRegistered(L"SIM1");
  ASSERT_NE(handle, nullptr);

  ASSERT_EQ(SetMonitorFeature(handle, 0x05, 2), 0);
  EXPECT_EQ(Simulator().State(id)->display.extended.at(0x05).current, 2);
  std::int32_t current = 0, maximum = 0;
  ASSERT_EQ(GetMonitorFeature(handle, 0x05, &current, &maximum), 0);
  EXPECT_EQ(current, 2);
  EXPECT_EQ(maximum, 3);
}

}  // namespace
