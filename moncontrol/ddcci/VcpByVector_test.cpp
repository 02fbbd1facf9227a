#include "moncontrol/ddcci/VcpByVectorApi.h"

#include <array>
#include <cstdio>
#include <string>
#include <thread>

#include "moncontrol/ddcci/VcpConvenienceTest.h"

namespace {

using Vector = std::array<std::int32_t, 6>;

Vector Copy(const std::int32_t* values) {
  Vector copy;
  std::copy(values, values + copy.size(), copy.begin());
  return copy;
}

class VcpByVectorTest : public DdcciTest {
 protected:
  // A simulated display with brightness 50 of 100 and extended sub-feature 5 at 1 of 3.
  mchid::hid_device* SimulatedDisplay() {
    monsim::MonitorDescription monitor;
    monitor.serial = L"SIM1";
    monitor.display.vcp[0x10] = {50, 100, 0};
    monitor.display.extended[0x05] = {1, 3, 0};
    m_id = Simulator().Add(monitor);
    return OpenRegistered(L"SIM1");
  }
  void QueueFault(monsim::FaultKind kind, std::uint32_t value = 0) {
    Simulator().QueueFault(m_id, monsim::Fault(kind, value));
  }
  // "set <code>=<value>" or "get <code>" for every DDC/CI request the display received.
  std::vector<std::string> Exchanges() {
    std::vector<std::string> exchanges;
    for (const monsim::RecordedRequest& request : Simulator().Requests()) {
      const Bytes& p = request.payload;
      char text[32];
      if (p.size() >= 7 && p[2] == 0x03)
        std::snprintf(text, sizeof text, "set %02X=%u", p[3], static_cast<unsigned>(p[4] << 8 | p[5]));
      else if (p.size() >= 5 && p[2] == 0x01)
        std::snprintf(text, sizeof text, "get %02X", p[3]);
      else
        std::snprintf(text, sizeof text, "other");
      exchanges.push_back(text);
    }
    return exchanges;
  }

  std::string m_id;
};

using Strings = std::vector<std::string>;
using Sleeps = std::vector<long long>;

TEST_F(VcpByVectorTest, GetReadsAPlainCodeOrTheSelectedSubFeature) {
  mchid::hid_device* handle = SimulatedDisplay();
  ASSERT_NE(handle, nullptr);

  EXPECT_EQ(Copy(GetVCPFeatureByVector(handle, 0x10, 0)), (Vector{0x10, 50, 100, 0, 0, 0}));
  EXPECT_EQ(Exchanges(), (Strings{"get 10"}));
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{});

  Simulator().ClearRequests();
  EXPECT_EQ(Copy(GetVCPFeatureByVector(handle, 0xF8, 0x05)), (Vector{0xF8, 0x05, 1, 3, 0, 0}));
  EXPECT_EQ(Exchanges(), (Strings{"set F8=5", "get F7"}));
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{200});
}

TEST_F(VcpByVectorTest, SetWritesAPlainCodeOrTheSelectedSubFeature) {
  mchid::hid_device* handle = SimulatedDisplay();
  ASSERT_NE(handle, nullptr);

  const std::int32_t plain[] = {0x10, 75, 999, 0, 0, 0};
  EXPECT_EQ(SetVCPFeatureByVector(handle, plain, 6), 1);
  EXPECT_EQ(Exchanges(), (Strings{"set 10=75"}));
  EXPECT_EQ(Simulator().Vcp(m_id, 0x10)->current, 75);
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{});

  Simulator().ClearRequests();
  const std::int32_t extended[] = {0xF8, 0x05, 2, 0, 0, 0};
  EXPECT_EQ(SetVCPFeatureByVector(handle, extended, 6), 1);
  EXPECT_EQ(Exchanges(), (Strings{"set F8=5", "set F7=2"}));
  EXPECT_EQ(Simulator().State(m_id)->display.extended.at(0x05).current, 2);
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{200});
}

TEST_F(VcpByVectorTest, TheSelectIsFollowedByThePauseBeforeTheValue) {
  std::vector<long long> sleptAtRequest;
  auto recording = [&](testkit::Responder then) -> testkit::Responder {
    return [&, then](const tagMCCMD_HEADER& request, const Bytes& bytes) {
      sleptAtRequest.push_back(m_clock.TotalSleptMs());
      return then(request, bytes);
    };
  };
  m_device->Answer(recording(testkit::ReplyStatus(0)));
  m_device->Answer(recording(testkit::ReplyStatus(0)));
  const std::int32_t extended[] = {0xF8, 0x05, 1, 0, 0, 0};
  EXPECT_EQ(SetVCPFeatureByVector(m_handle, extended, 6), 1);
  EXPECT_EQ(sleptAtRequest, (Sleeps{0, 200}));

  sleptAtRequest.clear();
  m_clock.ClearSleeps();
  m_device->Answer(recording(testkit::ReplyStatus(0)));
  m_device->Answer(recording(GetVcpReply(0xF7, 1, 3)));
  EXPECT_EQ(Copy(GetVCPFeatureByVector(m_handle, 0xF8, 0x05)), (Vector{0xF8, 0x05, 1, 3, 0, 0}));
  EXPECT_EQ(sleptAtRequest, (Sleeps{0, 200}));
}

TEST_F(VcpByVectorTest, AFailedSelectSendsNoValueAndDoesNotPause) {
  mchid::hid_device* handle = SimulatedDisplay();
  ASSERT_NE(handle, nullptr);

  QueueFault(monsim::FaultKind::Status, 4);
  const std::int32_t extended[] = {0xF8, 0x05, 2, 0, 0, 0};
  EXPECT_EQ(SetVCPFeatureByVector(handle, extended, 6), 0);
  EXPECT_EQ(Simulator().State(m_id)->display.extended.at(0x05).current, 1);

  QueueFault(monsim::FaultKind::Missing);
  EXPECT_EQ(Copy(GetVCPFeatureByVector(handle, 0xF8, 0x05)), Vector{});

  EXPECT_EQ(Exchanges(), (Strings{"set F8=5", "set F8=5"}));
  EXPECT_EQ(m_clock.Sleeps(), Sleeps{});
}

TEST_F(VcpByVectorTest, AFailedValueShowsAsZeroValuesOrAFailedSet) {
  mchid::hid_device* handle = SimulatedDisplay();
  ASSERT_NE(handle, nullptr);

  QueueFault(monsim::FaultKind::Missing);
  EXPECT_EQ(Copy(GetVCPFeatureByVector(handle, 0x10, 0)), (Vector{0x10, 0, 0, 0, 0, 0}));
  const std::int32_t plain[] = {0x10, 75, 0, 0, 0, 0};
  QueueFault(monsim::FaultKind::Status, 4);
  EXPECT_EQ(SetVCPFeatureByVector(handle, plain, 6), 0);

  QueueFault(monsim::FaultKind::Pass);
  QueueFault(monsim::FaultKind::BadChecksum);
  EXPECT_EQ(Copy(GetVCPFeatureByVector(handle, 0xF8, 0x05)), (Vector{0xF8, 0x05, 0, 0, 0, 0}));
  QueueFault(monsim::FaultKind::Pass);
  QueueFault(monsim::FaultKind::Status, 4);
  const std::int32_t extended[] = {0xF8, 0x05, 2, 0, 0, 0};
  EXPECT_EQ(SetVCPFeatureByVector(handle, extended, 6), 0);
}

TEST_F(VcpByVectorTest, ANullSettingSendsNothing) {
  EXPECT_EQ(SetVCPFeatureByVector(m_handle, nullptr, 6), 0);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(VcpByVectorTest, EachThreadKeepsItsOwnResult) {
  mchid::hid_device* handle = SimulatedDisplay();
  ASSERT_NE(handle, nullptr);
  const std::int32_t* mine = GetVCPFeatureByVector(handle, 0x10, 0);
  Vector theirs{};
  std::thread other([&] { theirs = Copy(GetVCPFeatureByVector(handle, 0xF8, 0x05)); });
  other.join();
  EXPECT_EQ(theirs, (Vector{0xF8, 0x05, 1, 3, 0, 0}));
  EXPECT_EQ(Copy(mine), (Vector{0x10, 50, 100, 0, 0, 0}));
}

}  // namespace
