// What the tests of the library's API share: Init and Uninit around every test, the fake
// clock, the log lines, monitors from the simulator or scripted ones, and named mutexes in a
// namespace of the test process's own, so that device keys of parallel tests never meet.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "moncontrol/api/DeviceMutex.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/api/MonCtrlInfo.h"
#include "moncontrol/hid/HidApi.h"
#include "platform/win32/Win32.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/hiddouble/ScriptedHidDevice.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/monsim/Simulator.h"

class MonCtrlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    [[maybe_unused]] static const std::string root = [] {
      std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ::testing::TempDir();
      std::string pattern = base + "/tarvik-moncontrol-XXXXXX";
      std::string dir = mkdtemp(pattern.data()) != nullptr ? pattern : base;
      setenv("TARVIK_KERNEL_OBJECTS", dir.c_str(), 1);
      std::atexit([] { std::filesystem::remove_all(getenv("TARVIK_KERNEL_OBJECTS")); });
      return dir;
    }();
  }

  void SetUp() override { ASSERT_EQ(Init(), 0); }

  void TearDown() override {
    for (mchid::hid_device* handle : m_handles) CloseMonCtrl(handle);
    if (m_agentMutex != nullptr) CloseHandle(m_agentMutex);
    EXPECT_EQ(Uninit(), 0);
    mchid::SetHidBackend(nullptr);
    // Uninit closes every device mutex, and the library holds no other.
    EXPECT_EQ(KernelObjectNames(), std::vector<std::string>{});
  }

  // Installs the simulator (or the scripted backend) as the HID backend on first use.
  monsim::Simulator& Simulator() {
    if (!m_simulator) {
      m_simulator = std::make_shared<monsim::Simulator>();
      mchid::SetHidBackend(m_simulator);
    }
    return *m_simulator;
  }
  testkit::ScriptedHidBackend& Scripted() {
    if (!m_scripted) {
      m_scripted = std::make_shared<testkit::ScriptedHidBackend>();
      mchid::SetHidBackend(m_scripted);
    }
    return *m_scripted;
  }
  // A scripted monitor-control collection with this serial.
  std::shared_ptr<testkit::ScriptedHidDevice> AddScriptedMonitor(const std::wstring& serial = L"S") {
    return Scripted().AddDevice(
        testkit::MonitorCollection("scripted:" + std::string(serial.begin(), serial.end()), serial));
  }

  // OpenMonCtrl2 of the maker's monitor; closed at the end of the test.
  mchid::hid_device* OpenRegistered(const std::wstring& serial, int interfaceNumber = -1) {
    mchid::hid_device* handle = OpenMonCtrl2(kMonCtrlVendorId, kMonCtrlProductId, serial.c_str(), interfaceNumber);
    if (handle != nullptr) m_handles.push_back(handle);
    return handle;
  }
  // CloseMonCtrl, before the end of the test.
  void Close(mchid::hid_device* handle) {
    std::erase(m_handles, handle);
    CloseMonCtrl(handle);
  }
  // A handle that was not opened through OpenMonCtrl2; closed at the end of the test.
  mchid::hid_device* OpenUnregistered(const std::string& path) {
    mchid::hid_device* handle = mchid::hid_open_path(path.c_str());
    if (handle != nullptr) m_handles.push_back(handle);
    return handle;
  }
  // Creates "Global\HalvaneSDK" as the agent does at start; held to the end of the test.
  void CreateAgentMutex() {
    if (m_agentMutex == nullptr) m_agentMutex = CreateDeviceMutex(kDefaultMutexName);
    ASSERT_NE(m_agentMutex, nullptr);
  }

  // The text of every line logged at least at this level, in order.
  std::vector<std::string> LogLines(spdlog::level::level_enum level = spdlog::level::info) const {
    std::vector<std::string> lines;
    for (const testkit::LogLine& line : m_log.Lines())
      if (line.level >= level) lines.push_back(line.text);
    return lines;
  }
  // True when a named mutex of that name exists.
  static bool MutexExists(const std::wstring& name) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (mutex == nullptr) return false;
    CloseHandle(mutex);
    return true;
  }

  testkit::FakeClock m_clock;
  testkit::LogCapture m_log;

 private:
  static std::vector<std::string> KernelObjectNames() {
    std::vector<std::string> names;
    for (const auto& folder : std::filesystem::directory_iterator(getenv("TARVIK_KERNEL_OBJECTS"))) {
      if (!folder.is_directory()) continue;
      for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().string());
    }
    return names;
  }

  std::shared_ptr<monsim::Simulator> m_simulator;
  std::shared_ptr<testkit::ScriptedHidBackend> m_scripted;
  std::vector<mchid::hid_device*> m_handles;
  HANDLE m_agentMutex = nullptr;
};

// The device key of the maker's monitor with this serial.
inline std::wstring KeyOf(const std::wstring& serial) { return L"14961-61455-" + serial; }
