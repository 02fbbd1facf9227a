#include <gtest/gtest.h>

#include <optional>

#include "moncontrol/api/FunctionCallTest.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/api/VersionsApi.h"

namespace {

constexpr std::int32_t kMcuCode = 0x21;

class VersionsTest : public FunctionCallTest {
 protected:
  mchid::hid_device* Open(const std::optional<Bytes>& versionData = std::nullopt) {
    monsim::MonitorDescription monitor = monsim::testing::SmallMonitor();
    if (versionData) monitor.functions.definitions[monsim::kFunctionMonCtrlVersion].data = *versionData;
    monitor.functions.definitions[kMcuCode].param3 = 0x00050607;
    return OpenSimulated(monitor);
  }
};

TEST_F(VersionsTest, MonCtrlVersionIsFunctionSixsFirstFourDataBytes) {
  mchid::hid_device* handle = Open();
  ASSERT_NE(handle, nullptr);
  std::int32_t version = 0;
  EXPECT_EQ(GetMonCtrlVersion(handle, &version), 0);
  EXPECT_EQ(version, 0x01020304);
  const monsim::RecordedRequest request = SimulatedRequests().at(0);
  EXPECT_EQ(+request.header.cmdType, MCCMD_TYPE_FUNCTION);
  EXPECT_EQ(+request.header.param1, 6u);
  EXPECT_EQ(+request.header.param2 | request.header.param3 | request.header.param4, 0u);
  EXPECT_TRUE(request.payload.empty());
}

TEST_F(VersionsTest, MonCtrlVersionIsSetOnlyWhenFourBytesCameBack) {
  struct Case {
    const char* name;
    Bytes data;
    std::int32_t result;
    std::int32_t version;
  };
  for (const Case& c : {Case{"MoreThanFour", {0x78, 0x56, 0x34, 0x12, 0xFF}, 0, 0x12345678},
                        Case{"Two", {0x01, 0x02}, MC_ERR_BAD_REPLY, -1}, Case{"None", {}, MC_ERR_BAD_REPLY, -1}}) {
    SCOPED_TRACE(c.name);
    mchid::hid_device* handle = Open(c.data);
    ASSERT_NE(handle, nullptr);
    std::int32_t version = -1;
    EXPECT_EQ(GetMonCtrlVersion(handle, &version), c.result);
    EXPECT_EQ(version, c.version);
    Close(handle);
    Simulator().Unplug("S1");
  }
}

TEST_F(VersionsTest, MonCtrlVersionPassesAFailedCallsStatusOn) {
  mchid::hid_device* handle = Open();
  ASSERT_NE(handle, nullptr);
  Simulator().QueueFault("S1", {monsim::FaultKind::Status, 4});
  std::int32_t version = -1;
  EXPECT_EQ(GetMonCtrlVersion(handle, &version), MC_ERR_STATUS_BASE + 4);
  EXPECT_EQ(version, -1);
  EXPECT_EQ(GetMonCtrlVersion(handle, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(GetMonCtrlVersion(nullptr, &version), MC_ERR_NULL_DEVICE);
}

TEST_F(VersionsTest, McuVersionComesBackInParam3) {
  mchid::hid_device* handle = Open();
  ASSERT_NE(handle, nullptr);
  std::int32_t version = -1;
  EXPECT_EQ(GetMCUVersion(handle, kMcuCode, 9, &version, 1000), 0);
  EXPECT_EQ(version, 0x00050607);
  const monsim::RecordedRequest request = SimulatedRequests().at(0);
  EXPECT_EQ(+request.header.cmdType, MCCMD_TYPE_FUNCTION);
  EXPECT_EQ(+request.header.param1, static_cast<std::uint32_t>(kMcuCode));
  EXPECT_EQ(+request.header.param2, 9u);
  EXPECT_EQ(+request.header.param3 | request.header.param4, 0u);
  EXPECT_TRUE(request.payload.empty());
}

TEST_F(VersionsTest, McuVersionFoldsEveryFailureIntoItsOwnCode) {
  mchid::hid_device* handle = Open();
  ASSERT_NE(handle, nullptr);
  std::int32_t version = -1;
  EXPECT_EQ(GetMCUVersion(handle, 0x7F, 0, &version, 1000), MC_ERR_MCU_VERSION);  // unknown to the monitor
  EXPECT_EQ(GetMCUVersion(handle, kMcuCode, 0, &version, -2), MC_ERR_MCU_VERSION);
  EXPECT_EQ(version, -1);
  EXPECT_EQ(GetMCUVersion(nullptr, kMcuCode, 0, &version, 1000), MC_ERR_INVALID_ARG);
  EXPECT_EQ(GetMCUVersion(handle, kMcuCode, 0, nullptr, 1000), MC_ERR_INVALID_ARG);
}

}  // namespace
