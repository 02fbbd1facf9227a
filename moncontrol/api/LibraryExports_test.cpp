// The library as a host loads it: by path with dlopen, its API found by name.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "moncontrol/api/MonCtrlInfo.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "testkit/monsim/Simulator.h"
#include "testkit/monsim/server/DeviceServer.h"

namespace {

// The library reaches this simulator as another process would, over its device socket, and
// keeps its named mutexes in a namespace of this process's own.
class LibraryExportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string base = ::testing::TempDir() + "moncontrol-host-" + std::to_string(getpid());
    s_objects = base + "-objects";
    std::filesystem::create_directories(s_objects);
    setenv("TARVIK_KERNEL_OBJECTS", s_objects.c_str(), 1);
    const std::string socket = base + ".sock";
    setenv("TARVIK_MONSIM_SOCKET", socket.c_str(), 1);

    s_simulator = new monsim::Simulator(monsim::ReadWaits::RealTime);
    monsim::MonitorDescription monitor;
    monitor.serial = L"HOST1";
    monitor.product = L"Halvane 27";
    monitor.display.vcp[0x10] = {50, 100, 0};
    monitor.display.capabilities = "(vcp(10))";
    s_simulator->Add(monitor);
    s_server = new monsim::DeviceServer(*s_simulator, socket);

    // Never closed: a host keeps the library loaded, and its state lives to the end.
    s_library = dlopen(MONCONTROL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(s_library, nullptr) << dlerror();
  }

  static void TearDownTestSuite() {
    delete s_server;
    delete s_simulator;
    std::filesystem::remove_all(s_objects);
  }

  template <typename Function>
  static Function* Symbol(const char* name) {
    return reinterpret_cast<Function*>(dlsym(s_library, name));
  }

  static inline void* s_library = nullptr;
  static inline monsim::Simulator* s_simulator = nullptr;
  static inline monsim::DeviceServer* s_server = nullptr;
  static inline std::string s_objects;
};

TEST_F(LibraryExportsTest, ExportsTheApiByNameAndHidesTheRest) {
  for (const char* name : {"GetMonCtrlCount", "GetMonCtrlList", "OpenMonCtrl", "OpenMonCtrl2", "CloseMonCtrl",
                           "GetMutexName", "Init", "Uninit", "SetGlobalHandle", "Enqueue", "Dequeue", "IsQueueEmpty",
                           "WaitForMessage", "GetVCPFeatureL", "SetVCPFeatureL", "GetCapabilities", "SEND_CMD_DDCCI",
                           "GetVCPFeatureDaisyChain", "SetVCPFeatureDaisyChain", "VcpMutexTestToVcpCodeArray",
                           "GetCmdID", "GetSignature", "GetMccmdHeaderSize", "ReadIIC", "WriteIIC", "CallFunction",
                           "CallFunctionBySplit", "CallFunctionNoReply", "GetMonCtrlVersion", "GetMCUVersion"}) {
    EXPECT_NE(dlsym(s_library, name), nullptr) << name;
  }
  for (const char* name : {"SendCommand", "_Z11SendCommandPN5mchid11hid_device_EiPhPii", "MakeDeviceKey",
                           "_Z13MakeDeviceKeyB5cxx11jjPKw", "CreateDeviceMutex", "RegisterMonCtrlDevice"}) {
    EXPECT_EQ(dlsym(s_library, name), nullptr) << name;
  }

  auto* getMutexName = Symbol<const wchar_t*(void*)>("GetMutexName");
  EXPECT_STREQ(getMutexName(nullptr), L"Global\\HalvaneSDK");
  auto* mask = Symbol<std::uint8_t*(std::uint16_t, std::uint16_t)>("VcpMutexTestToVcpCodeArray");
  std::uint8_t* flags = mask(0, 1);
  ASSERT_NE(flags, nullptr);
  EXPECT_EQ(flags[0], 0);
  EXPECT_EQ(flags[1], 1);
  std::free(flags);
}

TEST_F(LibraryExportsTest, AHostListsOpensReadsAndWritesAMonitor) {
  auto* init = Symbol<std::int32_t()>("Init");
  auto* uninit = Symbol<std::int32_t()>("Uninit");
  auto* getMonCtrlList = Symbol<std::int32_t(tagMONCTRLINFO**, std::int32_t)>("GetMonCtrlList");
  auto* openMonCtrl2 = Symbol<void*(std::uint32_t, std::uint32_t, const wchar_t*, std::int32_t)>("OpenMonCtrl2");
  auto* closeMonCtrl = Symbol<void(void*)>("CloseMonCtrl");
  auto* getMutexName = Symbol<const wchar_t*(void*)>("GetMutexName");
  auto* getVcp = Symbol<std::int32_t(void*, std::uint8_t, std::int32_t*, std::int32_t*)>("GetVCPFeatureL");
  auto* setVcp = Symbol<std::int32_t(void*, std::uint8_t, std::uint16_t)>("SetVCPFeatureL");
  auto* getCapabilities = Symbol<std::int32_t(void*, std::uint32_t*, char*)>("GetCapabilities");

  ASSERT_EQ(init(), 0);
  tagMONCTRLINFO* list = nullptr;
  ASSERT_EQ(getMonCtrlList(&list, 0), 1);
  EXPECT_STREQ(list[0].serial_number, L"HOST1");
  EXPECT_STREQ(list[0].product_string, L"Halvane 27");

  void* handle = openMonCtrl2(list[0].vendor_id, list[0].product_id, list[0].serial_number, list[0].interface_number);
  std::free(list);
  ASSERT_NE(handle, nullptr);
  EXPECT_STREQ(getMutexName(handle), L"14961-61455-HOST1");

  std::int32_t current = 0, maximum = 0;
  ASSERT_EQ(getVcp(handle, 0x10, &current, &maximum), 0);
  EXPECT_EQ(current, 50);
  EXPECT_EQ(maximum, 100);
  ASSERT_EQ(setVcp(handle, 0x10, 80), 0);
  EXPECT_EQ(s_simulator->Vcp("HOST1", 0x10)->current, 80);

  auto out = std::make_unique<char[]>(kCapabilitiesMaxLength);
  std::uint32_t length = 0;
  ASSERT_EQ(getCapabilities(handle, &length, out.get()), 10);
  EXPECT_EQ(std::string(out.get(), length), std::string("(vcp(10))", 10));

  closeMonCtrl(handle);
  EXPECT_EQ(uninit(), 0);
}

}  // namespace
