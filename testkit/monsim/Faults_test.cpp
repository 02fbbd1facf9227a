#include "testkit/monsim/Faults.h"

#include <gtest/gtest.h>

#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace monsim::testing;

const Bytes kGetBrightness{0x51, 0x82, 0x01, 0x10};

struct FaultsTest : ::testing::Test {
  FaultsTest() {
    sim.Add(SmallMonitor());
    connection = sim.Open("monsim/S1/0");
  }
  // Sends Get VCP 0x10 with this command ID; the write's result.
  int Send(std::uint32_t cmdID) { return WriteRequest(*connection, DdcciRequest(cmdID, kGetBrightness)); }
  // Every report waiting, as whole messages.
  std::vector<Bytes> Drain() {
    std::vector<Bytes> out;
    while (auto m = ReadMessage(*connection, 0)) out.push_back(*m);
    return out;
  }
  static tagMCCMD_RECEIVE_HEADER Header(const Bytes& m) { return LoadMccmdReceiveHeader(m.data()); }
  Simulator sim;
  std::unique_ptr<SimulatedConnection> connection;
};

TEST_F(FaultsTest, StatusRefusesTheNextRepliesThenTheMonitorRecovers) {
  sim.QueueFault("S1", {FaultKind::Status, 3, 2});
  for (std::uint32_t id : {1u, 2u, 3u}) ASSERT_GT(Send(id), 0);
  auto replies = Drain();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(+Header(replies[0]).param1, 3u);
  EXPECT_EQ(+Header(replies[0]).dataLength, 0u);
  EXPECT_EQ(+Header(replies[1]).param1, 3u);
  EXPECT_EQ(+Header(replies[2]).param1, HID_ACK_SUCCESS);
  EXPECT_EQ(+Header(replies[2]).dataLength, 11u);
}

TEST_F(FaultsTest, LateReplyIsReadableOnlyOnTheNthReadCall) {
  sim.QueueFault("S1", {FaultKind::Late, 3});
  ASSERT_GT(Send(1), 0);
  Bytes buffer(64);
  EXPECT_EQ(connection->ReadReport(buffer.data(), buffer.size(), 200), 0);
  EXPECT_EQ(connection->ReadReport(buffer.data(), buffer.size(), 200), 0);
  EXPECT_EQ(connection->ReadReport(buffer.data(), buffer.size(), 200), 64);
  EXPECT_EQ(+Header(buffer).cmdID, 1u);
}

TEST_F(FaultsTest, MissingDuplicatedAndMismatchedReplies) {
  sim.QueueFault("S1", {FaultKind::Missing});
  sim.QueueFault("S1", {FaultKind::Duplicate});
  sim.QueueFault("S1", {FaultKind::Mismatch});
  ASSERT_GT(Send(0x101), 0);
  EXPECT_TRUE(Drain().empty());
  ASSERT_GT(Send(0x102), 0);
  auto twice = Drain();
  ASSERT_EQ(twice.size(), 2u);
  EXPECT_EQ(twice[0], twice[1]);
  ASSERT_GT(Send(0x103), 0);
  auto other = Drain();
  ASSERT_EQ(other.size(), 1u);
  EXPECT_NE(+Header(other[0]).cmdID, 0x103u);
  EXPECT_EQ(+Header(other[0]).param1, HID_ACK_SUCCESS);
}

TEST_F(FaultsTest, UnsolicitedMessagesArriveAheadOfTheReply) {
  Fault fault{FaultKind::MessagesBefore, 2};
  fault.message = {kFuncCodeVcpChanged, 0x12, 9, 0, {}};
  sim.QueueFault("S1", fault);
  ASSERT_GT(Send(1), 0);
  auto messages = Drain();
  ASSERT_EQ(messages.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(+Header(messages[i]).cmdType, MCCMD_TYPE_MESSAGE);
    EXPECT_EQ(+Header(messages[i]).param2, 0x12u);
  }
  EXPECT_EQ(+Header(messages[2]).cmdID, 1u);
}

TEST_F(FaultsTest, CorruptChecksumAndHostileLengths) {
  sim.QueueFault("S1", {FaultKind::BadChecksum});
  ASSERT_GT(Send(1), 0);
  Bytes frame = PayloadOf(Drain().at(0));
  EXPECT_NE(frame.back(), XorOf(frame.data(), frame.size() - 1, kReplyChecksumSeed));

  sim.QueueFault("S1", {FaultKind::HostileDdcLength, 0xFF});
  ASSERT_GT(Send(2), 0);
  frame = PayloadOf(Drain().at(0));
  EXPECT_EQ(frame.size(), 11u);
  EXPECT_EQ(frame[1], 0xFF);
  EXPECT_EQ(frame.back(), XorOf(frame.data(), frame.size() - 1, kReplyChecksumSeed));  // only the length lies

  sim.QueueFault("S1", {FaultKind::HostileDataLength, 0xFFFFFFF0});
  ASSERT_GT(Send(3), 0);
  Bytes report(64);
  ASSERT_EQ(connection->ReadReport(report.data(), report.size(), 0), 64);
  EXPECT_EQ(+Header(report).dataLength, 0xFFFFFFF0u);
  EXPECT_EQ(report[32 + 9], 50);  // the true reply behind the false length
  EXPECT_EQ(connection->ReadReport(report.data(), report.size(), 0), 0);
}

TEST_F(FaultsTest, FailingWritesNeverReachTheMonitor) {
  sim.QueueFault("S1", {FaultKind::WriteFailure, 0, 2});
  EXPECT_EQ(Send(1), -1);
  EXPECT_EQ(Send(2), -1);
  EXPECT_GT(Send(3), 0);
  ASSERT_EQ(sim.Requests().size(), 1u);
  EXPECT_EQ(+sim.Requests()[0].header.cmdID, 3u);
}

TEST_F(FaultsTest, AMonitorVanishesBetweenTwoEnumerations) {
  sim.QueueFault("S1", {FaultKind::Vanish, 1});
  EXPECT_EQ(sim.Enumerate(kVendorId, kProductId).size(), 2u);
  EXPECT_TRUE(sim.Enumerate(kVendorId, kProductId).empty());
  EXPECT_EQ(Send(1), -1);
  EXPECT_FALSE(sim.Open("monsim/S1/0"));
}

TEST_F(FaultsTest, FaultsAreTakenInOrderByTheEventTheyApplyTo) {
  sim.QueueFault("S1", {FaultKind::Vanish, 2});
  sim.QueueFault("S1", {FaultKind::Status, 6});
  sim.QueueFault("S1", {FaultKind::WriteFailure});
  EXPECT_EQ(Send(1), -1);  // the write failure goes first although queued last
  ASSERT_GT(Send(2), 0);
  EXPECT_EQ(Header(Drain().at(0)).param1, 6u);
  EXPECT_FALSE(sim.Enumerate(0, 0).empty());
  EXPECT_FALSE(sim.Enumerate(0, 0).empty());
  EXPECT_TRUE(sim.Enumerate(0, 0).empty());
}

TEST_F(FaultsTest, PassLetsRepliesThroughSoThatTheNextFaultHitsALaterOne) {
  sim.QueueFault("S1", {FaultKind::Pass, 0, 2});
  sim.QueueFault("S1", {FaultKind::Status, 4});
  for (std::uint32_t id : {1u, 2u, 3u, 4u}) ASSERT_GT(Send(id), 0);
  std::vector<std::uint32_t> statuses;
  for (const Bytes& reply : Drain()) statuses.push_back(Header(reply).param1);
  EXPECT_EQ(statuses, (std::vector<std::uint32_t>{0, 0, 4, 0}));
}

TEST(FaultKindNames, RoundTrip) {
  for (auto kind : {FaultKind::Status, FaultKind::Late, FaultKind::Missing, FaultKind::Duplicate, FaultKind::Mismatch,
                    FaultKind::MessagesBefore, FaultKind::BadChecksum, FaultKind::HostileDataLength,
                    FaultKind::HostileDdcLength, FaultKind::WriteFailure, FaultKind::Vanish, FaultKind::Pass})
    EXPECT_EQ(FaultKindFromName(FaultKindName(kind)), kind);
  EXPECT_FALSE(FaultKindFromName("slow"));
}

}  // namespace
}  // namespace monsim
