#include "testkit/monsim/server/DeviceServer.h"

#include <gtest/gtest.h>
#include <unistd.h>


#include "moncontrol/hid/linux/SimulatorClient.h"
#include "moncontrol/hid/linux/SimulatorProtocol.h"
#include "testkit/monsim/testing/MonitorFixture.h"
#include "testkit/monsim/testing/TestHost.h"

namespace monsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace simproto = mchid::simproto;

std::string SocketPath() {
  return ::testing::TempDir() + "monsim-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".sock";
}

// The simulator served on a socket of its own, and the client backend that reaches it.
struct DeviceServerTest : ::testing::Test {
  DeviceServerTest()
      : path(SocketPath()), server(std::make_unique<DeviceServer>(sim, path)), client(mchid::MakeSimulatorClientBackend(path)) {
    sim.Add(testing::SmallMonitor());
  }
  Simulator sim;
  std::string path;
  std::unique_ptr<DeviceServer> server;
  std::shared_ptr<mchid::HidBackend> client;
};

TEST_F(DeviceServerTest, TheClientSeesTheSameMonitorsAndExchangesRequests) {
  auto collections = client->Enumerate(kVendorId, kProductId);
  ASSERT_EQ(collections.size(), 2u);
  EXPECT_EQ(collections[0].path, "monsim/S1/0");
  EXPECT_EQ(collections[0].serial_number, L"S1");
  EXPECT_EQ(collections[0].manufacturer_string, L"Quelmo");
  EXPECT_EQ(collections[1].usage_page, 0x0C);
  EXPECT_EQ(collections[1].output_report_length, 3);
  EXPECT_TRUE(client->Enumerate(0x1111, 0).empty());
  EXPECT_FALSE(client->OpenPath("monsim/nobody/0"));

  auto device = client->OpenPath("monsim/S1/0");
  ASSERT_TRUE(device);
  EXPECT_EQ(device->Collection().product_string, L"Halvane 27");
  ASSERT_EQ(testing::WriteRequest(*device, testing::DdcciRequest(9, {0x51, 0x82, 0x01, 0x10})), 65);
  auto reply = testing::ReadMessage(*device);
  ASSERT_TRUE(reply);
  EXPECT_EQ(+LoadMccmdReceiveHeader(reply->data()).cmdID, 9u);
  EXPECT_EQ((*reply)[32 + 9], 50);
  Bytes small(16);
  EXPECT_EQ(device->ReadReport(small.data(), small.size(), 0), 0);

  // Reports the monitor does not have fail as they do in-process.
  Bytes feature{0, 1, 2};
  EXPECT_EQ(device->SendFeatureReport(feature.data(), feature.size()), -1);
  EXPECT_EQ(device->GetFeatureReport(feature.data(), feature.size()), -1);
  EXPECT_FALSE(device->GetInputReport(feature.data(), feature.size()));
  Bytes output = testing::DdcciRequest(10, {0x51, 0x82, 0x01, 0x10});
  output.resize(65);
  EXPECT_TRUE(device->SetOutputReport(output.data(), output.size()));
  EXPECT_EQ(sim.Requests().size(), 2u);
}

TEST_F(DeviceServerTest, AnUnpluggedMonitorFailsTheClientsOpenDevice) {
  auto device = client->OpenPath("monsim/S1/0");
  ASSERT_TRUE(device);
  EXPECT_EQ(testing::ResultOfBlockedRead(*device, [&] { sim.Unplug("S1"); }), -1);
  Bytes report(65);
  EXPECT_EQ(device->WriteReport(report.data(), report.size()), -1);
  EXPECT_TRUE(client->Enumerate(0, 0).empty());
}

TEST_F(DeviceServerTest, AVanishedServerGivesFailuresNotCrashes) {
  auto device = client->OpenPath("monsim/S1/0");
  ASSERT_TRUE(device);
  // Stopping the server also ends the session that waits in the read.
  EXPECT_EQ(testing::ResultOfBlockedRead(*device, [&] { server.reset(); }), -1);
  Bytes report(65);
  EXPECT_EQ(device->WriteReport(report.data(), report.size()), -1);
  EXPECT_FALSE(device->GetInputReport(report.data(), report.size()));
  EXPECT_TRUE(client->Enumerate(0, 0).empty());
  EXPECT_FALSE(client->OpenPath("monsim/S1/0"));
  EXPECT_TRUE(mchid::MakeSimulatorClientBackend(std::string(200, 'x'))->Enumerate(0, 0).empty());
}

// Raw frames that are not the protocol: the server drops that connection and serves on.
TEST_F(DeviceServerTest, HostileFramesCostOnlyTheirOwnConnection) {
  const std::vector<Bytes> hostile = {
      {},                                   // no op
      {0x63},                               // unknown op
      {static_cast<std::uint8_t>(simproto::Op::ReadReport), 0x40, 0, 0, 0},  // before any open
      {static_cast<std::uint8_t>(simproto::Op::Enumerate), 0x71},           // truncated
      {static_cast<std::uint8_t>(simproto::Op::Open), 0xFF, 0xFF, 0xFF, 0x7F},  // path longer than the frame
  };
  for (const Bytes& frame : hostile) {
    int socket = simproto::ConnectUnixSocket(path);
    ASSERT_GE(socket, 0);
    ASSERT_TRUE(simproto::SendFrame(socket, frame));
    Bytes answer;
    EXPECT_FALSE(simproto::ReceiveFrame(socket, answer));
    ::close(socket);
  }
  // A length prefix over the bound is refused without reading on.
  int socket = simproto::ConnectUnixSocket(path);
  const unsigned char huge[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(::write(socket, huge, sizeof huge), 4);
  Bytes answer;
  EXPECT_FALSE(simproto::ReceiveFrame(socket, answer));
  ::close(socket);

  EXPECT_EQ(client->Enumerate(0, 0).size(), 2u);
}

TEST(SimulatorProtocol, FrameFieldsRoundTripAndShortFramesFailOnce) {
  mchid::HidCollection c;
  c.path = "p";
  c.serial_number = L"S\u00e9";
  c.interface_number = -1;
  c.input_report_length = 65;
  simproto::FrameWriter w;
  w.Collection(c).I32(-5);
  simproto::FrameReader r(w.Data());
  mchid::HidCollection back = r.Collection();
  EXPECT_EQ(back.serial_number, c.serial_number);
  EXPECT_FALSE(back.product_string);
  EXPECT_EQ(back.interface_number, -1);
  EXPECT_EQ(back.input_report_length, 65);
  EXPECT_EQ(r.I32(), -5);
  EXPECT_TRUE(r.AtEnd());

  Bytes truncated(w.Data().begin(), w.Data().end() - 6);
  simproto::FrameReader short_(truncated);
  short_.Collection();
  EXPECT_FALSE(short_.Ok());
  EXPECT_EQ(short_.U32(), 0u);
  // A wide string claiming more code points than the frame holds is refused before reserving.
  Bytes claim{1, 0xFF, 0xFF, 0xFF, 0x3F};
  simproto::FrameReader wide(claim);
  EXPECT_FALSE(wide.OptionalWide());
  EXPECT_FALSE(wide.Ok());
}

}  // namespace
}  // namespace monsim
