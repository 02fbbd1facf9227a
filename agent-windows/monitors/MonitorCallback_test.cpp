// The listener callback: which device messages become change records, what they change in the
// registry, and a message from a simulated monitor reaching the next heartbeat's records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "agent-windows/monitors/MonitorTestSupport.h"
#include "agent-windows/monitors/SimulatedMonitorsTest.h"
#include "moncontrol/transport/ListenerMessage.h"
#include "testkit/monsim/Messages.h"

using nlohmann::json;

namespace {

using testing::Contains;
using testing::HasSubstr;

struct Message {
  std::uint32_t funcCode;
  std::uint32_t subCode;
  std::uint32_t param3;
  std::uint32_t param4;
};

void Deliver(const Message& m, const std::wstring& serial = L"A1") {
  CMD_MESSAGE message{m.funcCode, m.subCode, m.param3, m.param4, 0, nullptr};
  std::uint8_t flat[kCmdMessageHeaderSize];
  PackCmdMessage(&message, flat, sizeof flat);
  std::wstring copy = serial;
  MonitorCallback(nullptr, copy.data(), flat, sizeof flat);
}

class MonitorCallbackTest : public monitortest::SimulatedMonitorsTest {
 protected:
  void SetUp() override {
    SimulatedMonitorsTest::SetUp();
    TakeVcpChangeRecords("A1");
    MonitorState state = monitortest::SampleMonitor("A1");
    state.need_update = false;
    PutMonitorState(state);
    m_log.Clear();
  }
  void TearDown() override {
    TakeVcpChangeRecords("A1");
    SimulatedMonitorsTest::TearDown();
  }

  static MonitorState A1() {
    MonitorRegistry copy;
    CopyMonitorRegistry(copy);
    return copy.at("A1");
  }
};

TEST_F(MonitorCallbackTest, MessagesBecomeRecordsAndRegistryChanges) {
  const MonitorState before = monitortest::SampleMonitor("A1");
  struct Case {
    const char* what;
    Message message;
    const char* records;  // what the next heartbeat takes; null for none
    std::function<void(MonitorState&)> change;
  };
  const Case cases[] = {
      {"brightness", {38, 0x10, 30, 100}, "[[16,30,100]]", [](MonitorState&) {}},
      {"lock", {38, 0xF6, 1, 1}, "[[246,1,1]]", [](MonitorState& s) { s.lockStatus = 1; }},
      {"power, raw", {38, 0xD6, 4, 5}, "[[214,4,5]]", [](MonitorState& s) { s.powerStatus = 4; }},
      {"device mutex, index in param4", {38, 0xFA, 0x30, 0x100}, "[[250,48,256]]",
       [](MonitorState& s) { s.mutexStatus[0] = 0x30; }},
      {"device mutex, index 1 refused", {38, 0xFA, 0x30, 1}, "[[250,48,1]]", [](MonitorState&) {}},
      {"factory defaults mark it stale, keeping the time", {38, 0x04, 1, 0}, "[[4,1,0]]",
       [](MonitorState& s) { s.need_update = true; }},
      {"extended code in the top byte", {38, 0x210000F7, 2, 3}, "[[248,33,2]]", [](MonitorState&) {}},
      {"unknown code above 0xFF is not recorded", {38, 0x1234, 2, 3}, nullptr, [](MonitorState&) {}},
      {"connection message of the library", {40, 1, 0, 0}, nullptr, [](MonitorState&) {}},
      {"other function", {12, 0xF6, 1, 1}, nullptr, [](MonitorState&) {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MonitorState state = before;
    state.need_update = false;
    PutMonitorState(state);
    Deliver(c.message);
    const json taken = TakeVcpChangeRecords("A1");
    EXPECT_EQ(taken, c.records ? json::parse(c.records) : json(nullptr));
    c.change(state);
    EXPECT_EQ(A1(), state);
  }
}

TEST_F(MonitorCallbackTest, EveryMessageIsLoggedAndBadCodesAndSerialsAreRefused) {
  Deliver({38, 0x210000F7, 2, 3});
  Deliver({38, 0x1234, 2, 3});
  EXPECT_THAT(LogLines(), testing::ElementsAre("MonitorCallback1 =  38 , 553648375 , 2 , 3 .",
                                               "MonitorCallback2 =  248 , 33 .",
                                               "MonitorCallback Error =  38 , 1234 , 2 , 3 .",
                                               "MonitorCallback1 =  38 , 4660 , 2 , 3 .",
                                               "MonitorCallback2 =  0 , 0 ."));

  // A serial that is not Unicode is logged; the listener thread calling this goes on.
  m_log.Clear();
  Deliver({38, 0x10, 1, 100}, std::wstring(1, static_cast<wchar_t>(0x110000)));
  EXPECT_THAT(LogLines(spdlog::level::err), Contains("MonitorCallback Exception caught: "));
  EXPECT_EQ(A1(), [] {
    MonitorState s = monitortest::SampleMonitor("A1");
    s.need_update = false;
    return s;
  }());
}

TEST_F(MonitorCallbackTest, AnnouncedChangeOfASimulatedMonitorReachesTheRecords) {
  AddMonitor(L"A1");
  InitMonitorRegistry();
  ASSERT_TRUE(OnDeviceChangeRebindMessage());
  monsim::DeviceMessage message;
  message.subCode = 0x10;
  message.param3 = 25;
  message.param4 = 100;
  ASSERT_TRUE(Simulator().EmitMessage("A1", message));

  json taken;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((taken = TakeVcpChangeRecords("A1")).is_null() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(taken, json::parse("[[16,25,100]]"));
}

}  // namespace
