#include "testkit/monsim/Simulator.h"

#include <gtest/gtest.h>

#include <thread>

#include "moncontrol/hid/HidApi.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace monsim::testing;

const Bytes kGetBrightness{0x51, 0x82, 0x01, 0x10};

tagMCCMD_RECEIVE_HEADER HeaderOf(const Bytes& message) { return LoadMccmdReceiveHeader(message.data()); }

struct SimulatorTest : ::testing::Test {
  SimulatorTest() { sim.Add(SmallMonitor()); }
  std::unique_ptr<SimulatedConnection> OpenControl(const std::string& id = "S1") { return sim.Open("monsim/" + id + "/0"); }
  Simulator sim;
};

TEST_F(SimulatorTest, EnumeratesEveryCollectionWithItsIdentity) {
  MonitorDescription bare;
  bare.id = "bare";
  bare.collections[0].interfaceNumber = 2;
  bare.collections[0].inputReportLength = 129;
  sim.Add(bare);
  MonitorDescription other;
  other.vendorId = 0x1234;
  sim.Add(other);

  auto all = sim.Enumerate(kVendorId, kProductId);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].path, "monsim/S1/0");
  EXPECT_EQ(all[0].serial_number, L"S1");
  EXPECT_EQ(all[0].product_string, L"Halvane 27");
  EXPECT_EQ(all[0].usage_page, 0x80);
  EXPECT_EQ(all[0].input_report_length, 65);
  EXPECT_EQ(all[1].usage_page, 0x0C);
  EXPECT_EQ(all[1].interface_number, 1);
  EXPECT_EQ(all[2].path, "monsim/bare/0");
  EXPECT_FALSE(all[2].serial_number);
  EXPECT_FALSE(all[2].manufacturer_string);
  EXPECT_EQ(all[2].interface_number, 2);
  EXPECT_EQ(all[2].input_report_length, 129);
  EXPECT_EQ(sim.Enumerate(0, 0).size(), 4u);
  EXPECT_EQ(sim.Enumerate(0x1234, 0).size(), 1u);
}

TEST_F(SimulatorTest, AnswersAGetVcpThroughTheHidLayer) {
  auto sim2 = std::make_shared<Simulator>();
  sim2->Add(SmallMonitor());
  mchid::SetHidBackend(sim2);
  mchid::hid_device* device = mchid::hid_open_path("monsim/S1/0");
  ASSERT_NE(device, nullptr);
  Bytes request = DdcciRequest(0x0A0B0C01, kGetBrightness);
  EXPECT_EQ(mchid::hid_write(device, request.data(), request.size()), 65);
  Bytes buffer(64);
  ASSERT_EQ(mchid::hid_read_timeout(device, buffer.data(), buffer.size(), 200), 64);
  tagMCCMD_RECEIVE_HEADER header = HeaderOf(buffer);
  EXPECT_EQ(+header.cmdID, 0x0A0B0C01u);
  EXPECT_EQ(+header.cmdType, MCCMD_TYPE_DDCCI);
  EXPECT_EQ(+header.param1, HID_ACK_SUCCESS);
  ASSERT_EQ(+header.dataLength, 11u);
  EXPECT_EQ(buffer[32 + 9], 50);
  mchid::hid_close(device);
  mchid::SetHidBackend(nullptr);
}

TEST_F(SimulatorTest, RecordsEveryRequestAndRefusesOnesWithABadSignature) {
  auto connection = OpenControl();
  Bytes good = DdcciRequest(7, kGetBrightness);
  Bytes bad = DdcciRequest(8, kGetBrightness);
  bad[2] ^= 0x01;
  ASSERT_GT(WriteRequest(*connection, good), 0);
  ASSERT_GT(WriteRequest(*connection, bad), 0);

  auto first = ReadMessage(*connection);
  auto second = ReadMessage(*connection);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(+HeaderOf(*first).param1, HID_ACK_SUCCESS);
  EXPECT_EQ(+HeaderOf(*second).cmdID, 8u);
  EXPECT_EQ(+HeaderOf(*second).param1, kStatusRejected);
  EXPECT_EQ(+HeaderOf(*second).dataLength, 0u);

  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].monitorId, "S1");
  EXPECT_EQ(+requests[0].header.cmdID, 7u);
  EXPECT_EQ(requests[0].payload, WithChecksum(kGetBrightness));
  EXPECT_TRUE(requests[0].signatureValid);
  EXPECT_FALSE(requests[1].signatureValid);
  sim.ClearRequests();
  EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(SimulatorTest, StampsEachRequestWithTheInstalledClockAtItsArrival) {
  testkit::FakeClock clock;
  auto connection = OpenControl();
  ASSERT_GT(WriteRequest(*connection, DdcciRequest(1, kGetBrightness)), 0);
  const auto first = std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now().time_since_epoch());
  clock.Advance(std::chrono::milliseconds(250));
  ASSERT_GT(WriteRequest(*connection, DdcciRequest(2, kGetBrightness)), 0);

  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].timeMs, first.count());
  EXPECT_EQ(requests[1].timeMs - requests[0].timeMs, 250);
}

TEST_F(SimulatorTest, ReassemblesLongRequestsAndRefusesUnknownCommandTypes) {
  auto connection = OpenControl();
  tagMCCMD_HEADER header{};
  header.cmdID = 99;
  header.cmdType = MCCMD_TYPE_FUNCTION;
  Bytes payload(150);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
  ASSERT_GT(WriteRequest(*connection, BuildRequest(header, payload)), 0);
  auto reply = ReadMessage(*connection);
  ASSERT_TRUE(reply);
  EXPECT_EQ(+HeaderOf(*reply).param1, kStatusUnsupported);
  auto requests = sim.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].payload, payload);
  EXPECT_TRUE(requests[0].signatureValid);
}

TEST_F(SimulatorTest, SendsLongRepliesAsHeaderAnd32BytesThenRawContinuation) {
  MonitorDescription m = SmallMonitor();
  m.id = "long";
  m.display.capabilities = std::string(60, 'x');
  m.display.capabilityFragment = 50;
  sim.Add(m);
  auto connection = OpenControl("long");
  ASSERT_GT(WriteRequest(*connection, DdcciRequest(5, {0x51, 0x83, 0xF3, 0x00, 0x00})), 0);

  Bytes body{0xE3, 0x00, 0x00};
  body.insert(body.end(), 50, 'x');
  Bytes expected = ReplyFrame(body);
  ASSERT_EQ(expected.size(), 56u);

  Bytes first(64), second(64);
  ASSERT_EQ(connection->ReadReport(first.data(), first.size(), 0), 64);
  EXPECT_EQ(+HeaderOf(first).dataLength, 56u);
  EXPECT_EQ(Bytes(first.begin() + 32, first.end()), Bytes(expected.begin(), expected.begin() + 32));
  ASSERT_EQ(connection->ReadReport(second.data(), second.size(), 0), 64);
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 24), Bytes(expected.begin() + 32, expected.end()));
  EXPECT_EQ(Bytes(second.begin() + 24, second.end()), Bytes(40, 0));  // padding
  EXPECT_EQ(connection->ReadReport(second.data(), second.size(), 0), 0);
}

TEST_F(SimulatorTest, EveryOpenHandleGetsItsOwnCopyOfRepliesAndMessages) {
  auto main = OpenControl();
  auto listener = OpenControl();
  auto other = sim.Open("monsim/S1/1");
  ASSERT_TRUE(main && listener && other);
  ASSERT_GT(WriteRequest(*main, DdcciRequest(3, kGetBrightness)), 0);
  DeviceMessage changed{kFuncCodeVcpChanged, 0x10, 70, 0, {0xAA}};
  ASSERT_TRUE(sim.EmitMessage("S1", changed));

  for (auto* connection : {main.get(), listener.get()}) {
    auto reply = ReadMessage(*connection);
    auto message = ReadMessage(*connection);
    ASSERT_TRUE(reply && message);
    EXPECT_EQ(+HeaderOf(*reply).cmdID, 3u);
    tagMCCMD_RECEIVE_HEADER m = HeaderOf(*message);
    EXPECT_EQ(+m.cmdType, MCCMD_TYPE_MESSAGE);
    EXPECT_EQ(+m.param1, kFuncCodeVcpChanged);
    EXPECT_EQ(+m.param2, 0x10u);
    EXPECT_EQ(+m.param3, 70u);
    EXPECT_EQ(PayloadOf(*message), Bytes{0xAA});
  }
  Bytes buffer(64);
  EXPECT_EQ(other->ReadReport(buffer.data(), buffer.size(), 0), 0);  // not the control collection
}

TEST_F(SimulatorTest, AnIdleHandleKeepsOnlyTheNewest32InputReports) {
  auto busy = OpenControl();
  auto idle = OpenControl();
  ASSERT_TRUE(busy && idle);
  for (std::uint32_t cmdID = 1; cmdID <= 40; ++cmdID) {
    ASSERT_GT(WriteRequest(*busy, DdcciRequest(cmdID, kGetBrightness)), 0);
    ASSERT_TRUE(ReadMessage(*busy));
  }
  // One report a reply: the first eight are gone.
  for (std::uint32_t cmdID = 9; cmdID <= 40; ++cmdID) {
    auto reply = ReadMessage(*idle);
    ASSERT_TRUE(reply);
    EXPECT_EQ(+HeaderOf(*reply).cmdID, cmdID);
  }
  Bytes buffer(64);
  EXPECT_EQ(idle->ReadReport(buffer.data(), buffer.size(), 0), 0);
}

TEST_F(SimulatorTest, UnplugFailsOpenHandlesUntilTheMonitorIsOpenedAgain) {
  ASSERT_TRUE(sim.SetVcp("S1", 0x10, 80));
  auto connection = OpenControl();
  ASSERT_TRUE(sim.Unplug("S1"));
  EXPECT_FALSE(sim.Unplug("S1"));
  EXPECT_TRUE(sim.Enumerate(0, 0).empty());
  EXPECT_FALSE(OpenControl());
  Bytes buffer(64);
  EXPECT_EQ(connection->ReadReport(buffer.data(), buffer.size(), 0), -1);
  EXPECT_EQ(WriteRequest(*connection, DdcciRequest(1, kGetBrightness)), -1);
  EXPECT_FALSE(sim.EmitMessage("S1", {}));

  ASSERT_TRUE(sim.Plug("S1"));
  EXPECT_FALSE(sim.Plug("S1"));
  EXPECT_EQ(WriteRequest(*connection, DdcciRequest(1, kGetBrightness)), -1);  // the old handle stays dead
  auto fresh = OpenControl();
  ASSERT_TRUE(fresh);
  ASSERT_GT(WriteRequest(*fresh, DdcciRequest(2, kGetBrightness)), 0);
  auto reply = ReadMessage(*fresh);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[32 + 9], 80);  // the monitor kept its settings
  EXPECT_EQ(sim.Vcp("S1", 0x10)->current, 80);
}

TEST_F(SimulatorTest, ThePlugChangeCallbackHearsOfPlugsAndUnplugsOnly) {
  struct Change {
    std::string id;
    bool plugged;
    std::size_t pluggedNow;  // as the callback saw it: it may use the simulator
    bool operator==(const Change&) const = default;
  };
  std::vector<Change> changes;
  sim.OnPlugChange([&](const std::string& id, bool plugged) {
    changes.push_back({id, plugged, sim.PluggedMonitors().size()});
  });
  EXPECT_FALSE(sim.Plug("S1"));
  ASSERT_TRUE(sim.Unplug("S1"));
  EXPECT_FALSE(sim.Unplug("S1"));
  ASSERT_TRUE(sim.Plug("S1"));
  sim.Add(MonitorDescription{}, false);
  const std::string added = sim.Add(MonitorDescription{});
  EXPECT_THROW(sim.Add(SmallMonitor()), std::invalid_argument);
  EXPECT_EQ(changes, (std::vector<Change>{{"S1", false, 0}, {"S1", true, 1}, {added, true, 2}}));
}

TEST_F(SimulatorTest, ControlsAddressMonitorsAndTheirChainedOnes) {
  EXPECT_THROW(sim.Add(SmallMonitor()), std::invalid_argument);
  EXPECT_EQ(sim.Add(MonitorDescription{}), "monitor2");
  ASSERT_TRUE(sim.SetVcp("S1", 0x10, 33, 1));
  EXPECT_EQ(sim.Vcp("S1", 0x10, 1)->current, 33);
  EXPECT_EQ(sim.Vcp("S1", 0x10)->current, 50);
  EXPECT_FALSE(sim.SetVcp("S1", 0x10, 1, 7));
  EXPECT_FALSE(sim.SetVcp("nobody", 0x10, 1));
  ASSERT_TRUE(sim.SetVcp("S1", 0xD6, 4));  // a code the monitor lacked
  EXPECT_EQ(sim.Vcp("S1", 0xD6)->current, 4);
  EXPECT_EQ(sim.PluggedMonitors(), (std::vector<std::string>{"S1", "monitor2"}));

  ASSERT_TRUE(sim.Unplug("S1"));
  MonitorDescription replacement = SmallMonitor();
  replacement.product = L"Replaced";
  EXPECT_EQ(sim.Add(replacement), "S1");
  EXPECT_EQ(sim.Enumerate(0, 0)[0].product_string, L"Replaced");
}

TEST_F(SimulatorTest, ControlsReachTheExtendedPageThatTheDeviceServes) {
  EXPECT_FALSE(sim.ExtendedVcp("S1", 0x05));
  ASSERT_TRUE(sim.SetExtendedVcp("S1", 0x05, 1));  // the display had no page: now it has one
  ASSERT_TRUE(sim.SetExtendedVcp("S1", 0x0102, 9, 1));
  EXPECT_FALSE(sim.SetExtendedVcp("S1", 0x05, 1, 7));
  EXPECT_FALSE(sim.ExtendedVcp("S1", 0x0102));
  EXPECT_EQ(sim.ExtendedVcp("S1", 0x0102, 1)->current, 9);
  EXPECT_FALSE(sim.ExtendedVcp("nobody", 0x05));

  auto connection = OpenControl();
  ASSERT_GT(WriteRequest(*connection, DdcciRequest(1, {0x51, 0x84, 0x03, 0xF8, 0x00, 0x05}, true)), 0);
  ReadMessage(*connection);  // the set's acknowledgement, if any
  ASSERT_GT(WriteRequest(*connection, DdcciRequest(2, {0x51, 0x82, 0x01, 0xF7})), 0);
  auto reply = ReadMessage(*connection);
  ASSERT_TRUE(reply);
  EXPECT_EQ(PayloadOf(*reply).at(9), 1);
}

TEST_F(SimulatorTest, AReadWithoutLimitWakesWhenTheMonitorIsUnplugged) {
  auto connection = OpenControl();
  EXPECT_EQ(ResultOfBlockedRead(*connection, [&] { sim.Unplug("S1"); }), -1);
}

TEST(SimulatorWaits, RealTimeReadsWaitOutTheirTimeOut) {
  Simulator sim(ReadWaits::RealTime);
  sim.Add(SmallMonitor());
  auto connection = sim.Open("monsim/S1/0");
  Bytes buffer(64);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(connection->ReadReport(buffer.data(), buffer.size(), 50), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

  std::thread emitter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sim.EmitMessage("S1", {});
  });
  EXPECT_EQ(connection->ReadReport(buffer.data(), buffer.size(), 5000), 64);
  emitter.join();
}

}  // namespace
}  // namespace monsim
