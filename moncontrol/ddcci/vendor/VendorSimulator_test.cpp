// The vendor commands against the simulated monitor, which frames its answers on its own.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "moncontrol/ddcci/vendor/ChildDevInfo.h"
#include "moncontrol/ddcci/vendor/MonitorInfo.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorTest.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace {

class VendorSimulatorTest : public MonCtrlTest {
 protected:
  void SetUp() override {
    MonCtrlTest::SetUp();
    monsim::MonitorDescription monitor;
    monitor.serial = L"V1";
    monsim::VendorState& vendor = monitor.display.vendor;
    vendor.status = 4;
    vendor.daisyChainResults = {20, 21, 22, 23};
    monsim::MonitorInfoFields info;
    info.deviceCount = 2;
    info.i2cBufSize = 64;
    info.modelName = "Halvane 27Q";
    info.specialID = "SPEC";  // fills its field
    info.vendorID = "QLM";
    info.sn = "V1";
    info.debugVersion = 0x0102;
    info.releaseVersion = 0x0304;
    vendor.monitorInfo = monsim::EncodeMonitorInfo(info);
    monsim::ChildDeviceFields child;
    child.type = 3;
    child.ispID = 0x21;
    child.fwID = "SCALER";
    child.fwVer = "2.10";
    child.sn = "CH-0001";
    vendor.childInfo = {monsim::EncodeChildDevice({}), monsim::EncodeChildDevice(child)};
    info.sn = "V2";
    monitor.chain[1].vendor.monitorInfo = monsim::EncodeMonitorInfo(info);
    monitor.chain[1].vendor.status = 8;
    Simulator().Add(monitor);
    m_handle = OpenRegistered(L"V1");
    ASSERT_NE(m_handle, nullptr);
  }

  std::vector<int> TableOffsets() {
    std::vector<int> offsets;
    for (const monsim::RecordedRequest& r : Simulator().Requests()) offsets.push_back(r.payload[6] << 8 | r.payload[7]);
    return offsets;
  }

  mchid::hid_device* m_handle = nullptr;
};

TEST_F(VendorSimulatorTest, ReadsCountStatusAndTheInformationOfTheMonitorsAndTheirChildren) {
  EXPECT_EQ(CallGetMonitorCount(m_handle, 0), 2);
  std::uint8_t error = 0xEE;
  EXPECT_EQ(CallGetMonitorStatus(m_handle, 0, &error), 4);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(CallGetMonitorStatus(m_handle, 1, &error), 8);
  EXPECT_EQ(CallGetMonitorStatus(m_handle, 5, &error), 0);
  EXPECT_EQ(error, 1);

  Handed table(CallGetMonitorInfo(m_handle, 0));
  ASSERT_NE(table, nullptr);
  tagZunMONITORINFO info;
  std::memcpy(&info, table.get(), sizeof info);
  EXPECT_EQ(info.deviceCount, 2);
  EXPECT_EQ(info.i2cBufSize, 64);
  EXPECT_STREQ(info.modelName, "Halvane 27Q");
  EXPECT_EQ(std::string(info.specialID, sizeof info.specialID), "SPEC");
  EXPECT_STREQ(info.vendorID, "QLM");
  EXPECT_STREQ(info.sn, "V1");
  EXPECT_EQ(info.overallVersionDebug, 0x0102);
  EXPECT_EQ(info.overallVersionRelease, 0x0304);

  Handed chained(CallGetMonitorInfo(m_handle, 1));
  ASSERT_NE(chained, nullptr);
  EXPECT_STREQ(reinterpret_cast<const tagZunMONITORINFO*>(chained.get())->sn, "V2");

  Handed childTable(CallGetChildInfo(m_handle, 0, 1));
  ASSERT_NE(childTable, nullptr);
  tagCHILDDEVINFO child;
  std::memcpy(&child, childTable.get(), sizeof child);
  EXPECT_EQ(child.type, 3);
  EXPECT_EQ(child.ispID, 0x21);
  EXPECT_STREQ(child.fwID, "SCALER");
  EXPECT_STREQ(child.fwVer, "2.10");
  EXPECT_STREQ(child.sn, "CH-0001");
  EXPECT_EQ(CallGetChildInfo(m_handle, 0, 2), nullptr);
  EXPECT_EQ(CallGetMonitorInfo(m_handle, 3), nullptr);
}

TEST_F(VendorSimulatorTest, ABadChunkInTheMiddleOfTheInformationIsReadAgain) {
  struct Case {
    const char* name;
    monsim::Fault fault;
    std::string error;
  };
  const Case cases[] = {
      {"bad checksum", {monsim::FaultKind::BadChecksum}, "CallDdcciReadTableCmd checksum error"},
      {"another table", {monsim::FaultKind::WrongEcho}, "CallDdcciReadTableCmd data check error vcpCode:161 != 94"},
      {"hostile length byte", {monsim::FaultKind::HostileDdcLength, 0x82}, "CallDdcciReadTableCmd chunk's length byte"},
      {"refused", {monsim::FaultKind::Status, 4}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Simulator().ClearRequests();
    m_log.Clear();
    Simulator().QueueFault("V1", {monsim::FaultKind::Pass, 0, 1});
    Simulator().QueueFault("V1", c.fault);
    Handed table(CallGetMonitorInfo(m_handle, 0));
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(reinterpret_cast<const tagZunMONITORINFO*>(table.get())->sn, "V1");
    EXPECT_EQ(TableOffsets(), (std::vector<int>{0, 16, 16, 32, 48, 62}));
    const std::vector<std::string> errors = m_log.Errors();
    if (!c.error.empty()) {
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(errors[0].rfind(c.error, 0), 0u) << errors[0];
    }
  }
  Simulator().QueueFault("V1", {monsim::FaultKind::BadChecksum, 0, 21});
  EXPECT_EQ(CallGetMonitorInfo(m_handle, 0), nullptr);
}

TEST_F(VendorSimulatorTest, DaisyChainStepsAndTheirFailureCodes) {
  const std::function<std::int32_t()> steps[] = {
      [&] { return CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode(m_handle, 64); },
      [&] { return CallDaisyChainNegotiateMonitorReadiness(m_handle, 1, 1000); },
      [&] { return CallDaisyChainNotifyScalarPrepareEnvironment(m_handle); },
      [&] { return CallDaisyChainNotifyPackageSendFinished(m_handle, 1); },
  };
  for (std::int32_t f = 0; f < 4; ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(steps[f](), 20 + f);
    Simulator().QueueFault("V1", {monsim::FaultKind::HostileDdcLength, 0x80});
    EXPECT_EQ(steps[f](), -1300 - 10 * f);
    Simulator().QueueFault("V1", {monsim::FaultKind::VendorCode, static_cast<std::uint32_t>(f + 1)});
    EXPECT_EQ(steps[f](), -1301 - 10 * f);
    Simulator().QueueFault("V1", {monsim::FaultKind::FailureFlag});
    EXPECT_EQ(steps[f](), -1302 - 10 * f);
    Simulator().QueueFault("V1", {monsim::FaultKind::Missing});
    EXPECT_EQ(steps[f](), -1300 - 10 * f);
  }
}

TEST_F(VendorSimulatorTest, CountErrorCodesPauseAndTheUpdateNoticesAreAnswered) {
  Simulator().QueueFault("V1", {monsim::FaultKind::VendorCode, 6, 3});
  EXPECT_EQ(CallGetMonitorCount(m_handle, 0), 0);
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{1000, 1000, 1000}));

  EXPECT_EQ(CallNotifyAllFwTransFinished(m_handle, 0), 1);
  EXPECT_EQ(CallSpecifyUpdateCondition(m_handle, 0, 2, 3, 4, 1, 30), 1);
  EXPECT_EQ(m_log.Errors(), std::vector<std::string>(3, "CallGetMonitorCount ERRORCODE = 6 "));

  const std::uint8_t command[] = {'A', 'T', '\r'};
  std::int32_t length = 3;
  std::uint32_t size = 0;
  Handed echo(CallPassUartCommand(m_handle, &size, &length, command));
  ASSERT_NE(echo, nullptr);
  EXPECT_EQ(std::string(echo.get(), echo.get() + size), "AT\r");
}

TEST_F(VendorSimulatorTest, ATableWrittenIsReadBack) {
  std::vector<std::uint8_t> table(100);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_EQ(WriteTable(m_handle, 0x73, 100, table.data()), 0);
  std::vector<std::uint8_t> read(128, 0xEE);
  std::uint32_t capacity = 128;
  ASSERT_EQ(ReadTable(m_handle, 0x73, 0, 0, &capacity, read.data()), 100);
  EXPECT_EQ(std::vector<std::uint8_t>(read.begin(), read.begin() + 100), table);

  // The vendor table write is taken chunk by chunk, never refused.
  Simulator().ClearRequests();
  std::uint32_t length = 50;
  Handed result(CallDdcciWriteTableCmd(m_handle, &length, table.data(), 0xA2, 0, 1));
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(Simulator().Requests().size(), 3u);
}

}  // namespace
