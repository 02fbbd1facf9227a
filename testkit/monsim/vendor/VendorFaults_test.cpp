// The faults that shape vendor replies, as a host reads them from a simulated monitor.
#include <gtest/gtest.h>

#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace monsim::testing;

struct VendorFaultsTest : ::testing::Test {
  VendorFaultsTest() {
    MonitorDescription monitor = SmallMonitor();
    monitor.display.vendor.monitorInfo = EncodeMonitorInfo({});
    monitor.display.vendor.tableChunk = 20;
    sim.Add(monitor);
    connection = sim.Open("monsim/S1/0");
  }
  // The reply frame to one vendor request.
  Bytes Exchange(const Bytes& frame) {
    EXPECT_GT(WriteRequest(*connection, DdcciRequest(++id, frame)), 0);
    auto message = ReadMessage(*connection, 0);
    return message ? PayloadOf(*message) : Bytes{};
  }
  static bool ChecksumHolds(const Bytes& reply) {
    return !reply.empty() && XorOf(reply.data(), reply.size() - 1, kReplyChecksumSeed) == reply.back();
  }
  Simulator sim;
  std::unique_ptr<SimulatedConnection> connection;
  std::uint32_t id = 0;
};

const Bytes kCount{0x51, 0x83, 0xCE, 0xA0, 0x00};
const Bytes kStep2{0x51, 0x88, 0xCE, 0xA9, 0x02, 0, 0, 0, 0, 0};

TEST_F(VendorFaultsTest, EachFaultChangesItsByteAndKeepsTheChecksumRight) {
  struct Case {
    const char* name;
    Fault fault;
    Bytes frame;
    std::size_t index;
    std::uint8_t value;
  };
  const Case cases[] = {
      {"error code", {FaultKind::VendorCode, 6}, kCount, 4, 6},
      {"another step's echo", {FaultKind::VendorCode, 3}, kStep2, 4, 3},
      {"failure flag", {FaultKind::FailureFlag}, kStep2, 6, 1},
      {"another sub-command", {FaultKind::WrongEcho}, kCount, 3, 0x5F},
      {"no data", {FaultKind::HostileDdcLength, 0x80}, kCount, 1, 0x80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes clean = Exchange(c.frame);
    ASSERT_TRUE(sim.QueueFault("S1", c.fault));
    const Bytes faulty = Exchange(c.frame);
    ASSERT_EQ(faulty.size(), clean.size());
    EXPECT_EQ(faulty[c.index], c.value);
    EXPECT_TRUE(ChecksumHolds(faulty));
    for (std::size_t i = 0; i + 1 < clean.size(); ++i) {
      if (i == c.index) continue;
      EXPECT_EQ(faulty[i], clean[i]) << i;
    }
    EXPECT_EQ(Exchange(c.frame), clean);  // the monitor recovers
  }
}

TEST_F(VendorFaultsTest, PassLetsAFaultHitAChunkInTheMiddleOfATable) {
  sim.QueueFault("S1", {FaultKind::Pass, 0, 1});
  sim.QueueFault("S1", {FaultKind::BadChecksum});
  auto chunk = [&](std::uint8_t offset) { return Exchange({0x51, 0x86, 0xCE, 0xA1, 0x00, 0x00, 0x00, offset}); };
  EXPECT_TRUE(ChecksumHolds(chunk(0)));
  EXPECT_FALSE(ChecksumHolds(chunk(20)));
  EXPECT_TRUE(ChecksumHolds(chunk(20)));
}

TEST(VendorFaultNames, RoundTrip) {
  for (auto kind : {FaultKind::VendorCode, FaultKind::FailureFlag, FaultKind::WrongEcho})
    EXPECT_EQ(FaultKindFromName(FaultKindName(kind)), kind);
}

}  // namespace
}  // namespace monsim
