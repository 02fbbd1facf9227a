// The macOS build of the library against the monsim program, reached the way the macOS
// stand-in reaches it by default: through the device socket named in TARVIK_MONSIM_SOCKET.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "moncontrol/api/Devices.h"
#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"
#include "moncontrol/macos/MacApi.h"
#include "moncontrol/macos/testing/TempHome.h"
#include "testkit/monsim/testing/MonsimProcess.h"

namespace {

using nlohmann::json;

constexpr const wchar_t* kFirst = L"TVK24Q100001";
constexpr const wchar_t* kSecond = L"TVK27Q100002";

std::atomic<int> g_brightnessHeard{-1};

void Listen(mchid::hid_device*, wchar_t*, void* message, std::size_t length) {
  if (length < kCmdMessageHeaderSize) return;
  const auto* words = static_cast<const std::uint32_t*>(message);
  if (words[0] == FUNC_CODE_VCP_CHANGED && words[1] == 0x10) g_brightnessHeard = static_cast<int>(words[2]);
}

class MacMonsimTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_home = new TempHome();
    s_monsim = new monsim::testing::MonsimProcess(MONSIM_PROGRAM, MONSIM_TWO_MONITORS_FILE);
    ASSERT_TRUE(s_monsim->Ready());
    setenv("TARVIK_MONSIM_SOCKET", s_monsim->DeviceSocket().c_str(), 1);
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(s_monsim->Stop(), 0);
    delete s_monsim;
    std::free(s_list);
    delete s_home;
  }

  // The record of the monitor with this serial, from the library's list.
  static tagMONCTRLINFO Listed(const wchar_t* serial) {
    const std::int32_t count = GetMonCtrlList(&s_list, 0);
    tagMONCTRLINFO found{};
    for (std::int32_t i = 0; i < count; ++i)
      if (std::wstring(s_list[i].serial_number) == serial) found = s_list[i];
    return found;
  }

  static TempHome* s_home;
  static monsim::testing::MonsimProcess* s_monsim;
  static tagMONCTRLINFO* s_list;  // the library frees it on the next listing
};

TempHome* MacMonsimTest::s_home = nullptr;
monsim::testing::MonsimProcess* MacMonsimTest::s_monsim = nullptr;
tagMONCTRLINFO* MacMonsimTest::s_list = nullptr;

TEST_F(MacMonsimTest, ListsTheMonitorsAsMacOSShowsThem) {
  ASSERT_EQ(GetMonCtrlList(&s_list, 0), 2);
  const tagMONCTRLINFO* list = s_list;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(list[i].vendor_id, kMonCtrlVendorId);
    EXPECT_EQ(list[i].interface_number, -1);
    EXPECT_EQ(list[i].input_report_length, 0u);
    EXPECT_EQ(list[i].output_report_length, 0u);
  }
  EXPECT_EQ(std::wstring(list[0].serial_number), kFirst);
  EXPECT_EQ(std::wstring(list[1].serial_number), kSecond);
}

TEST_F(MacMonsimTest, ReadsAndWritesTheMonitorOpenedByItsRecord) {
  const tagMONCTRLINFO info = Listed(kSecond);
  mchid::hid_device* handle = OpenMonCtrl3(&info, 2000);
  ASSERT_NE(handle, nullptr);

  std::int32_t values[6] = {};
  GetVCPFeatureByVector2(handle, 0x10, 0, values, 6);
  EXPECT_EQ(std::vector<std::int32_t>(values, values + 3), (std::vector<std::int32_t>{0x10, 60, 100}));
  GetVCPFeatureByVector2(handle, 0xF8, 0x05, values, 6);
  EXPECT_EQ(std::vector<std::int32_t>(values, values + 4), (std::vector<std::int32_t>{0xF8, 0x05, 1, 1}));

  ASSERT_EQ(SetVCPFeatureL(handle, 0x12, 40), MC_OK);
  const json stored = s_monsim->Send({{"cmd", "get-vcp"}, {"id", "TVK27Q100002"}, {"code", "12"}});
  EXPECT_EQ(stored["vcp"]["current"], 40) << stored.dump();
  CloseMonCtrl(handle);
}

TEST_F(MacMonsimTest, AListenerHearsWhatTheMonitorAnnounces) {
  const tagMONCTRLINFO info = Listed(kFirst);
  ASSERT_EQ(SetFuncCallbackByInfo(&info, &Listen), 0);
  ASSERT_EQ(s_monsim->Send({{"cmd", "emit"},
                            {"id", "TVK24Q100001"},
                            {"message", {{"funcCode", 38}, {"subCode", 16}, {"param3", 33}, {"param4", 100}}}})["ok"],
            true);
  for (int i = 0; i < 100 && g_brightnessHeard != 33; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(g_brightnessHeard, 33);
  // Removing waits for the thread, which must not outlive the monitors it reads.
  EXPECT_EQ(RemoveMCListenThread(MakeDeviceKey(info.vendor_id, info.product_id, info.serial_number).c_str()), 0);
}

}  // namespace
