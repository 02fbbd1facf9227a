// What the tests of the monitor updaters and their set share: simulated monitors in the process as
// the macOS stand-in's HID devices, the library's records of them, and the logs.
#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/testing/MacRoot.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/macos/testing/TempHome.h"
#include "platform/macos/HidDeviceSource.h"
#include "testkit/monsim/MonitorJson.h"
#include "testkit/monsim/Simulator.h"

namespace monitortest {

// A monitor as monsim's files describe them, with what a test changes merged in.
inline nlohmann::json MonitorJson(const std::string& serial, const nlohmann::json& changes = nlohmann::json::object()) {
  nlohmann::json monitor = {
      {"id", serial},
      {"serial", serial},
      {"product", "TV-2415Q"},
      {"vcp",
       {{"10", {{"current", 50u}, {"maximum", 100u}}},
        {"12", {{"current", 70u}, {"maximum", 100u}}},
        {"C0", {{"current", 1200u}, {"maximum", 65535u}}},
        {"D6", {{"current", 1u}, {"maximum", 5u}}},
        {"EC", {{"current", 0u}, {"maximum", 65535u}}},
        {"F6", {{"current", 0u}, {"maximum", 1u}}},
        {"FA", {{"current", 0u}, {"maximum", 2u}}}}},
      {"extended", {{"05", {{"current", 1u}, {"maximum", 1u}}}, {"21", {{"current", 0u}, {"maximum", 1u}}}}},
      {"capabilities",
       "(prot(monitor)type(LCD)model(TV24Q)vcp(02 10 12 C0 C6(02 00 80 80) D6(01 04 05) EC F6 FA F8(05(00 01) 21(00 "
       "01)))mccs_ver(2.2))"},
      {"vendor",
       {{"monitorInfo",
         {{"modelName", "TV-2415Q"}, {"specialID", "A1"}, {"vendorID", "QLM"}, {"sn", serial},
          {"debugVersion", 12u}, {"releaseVersion", 3u}}}}}};
  monitor.merge_patch(changes);
  return monitor;
}

class SimulatedMonitorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agentmactest::MacRoot();
    macstandin::SetHidDeviceSource(sim_);
  }
  void TearDown() override {
    macstandin::SetHidDeviceSource(nullptr);
    std::free(list_);
  }

  std::string Add(const nlohmann::json& monitor) {
    return sim_->Add(monsim::ParseMonitor(monitor, "monitor").description);
  }

  // The library's record of the interface with this serial.
  tagMONCTRLINFO Listed(const std::string& serial) {
    const std::int32_t count = GetMonCtrlList(&list_, 0);
    for (std::int32_t i = 0; i < count; ++i) {
      std::string key;
      for (const wchar_t* unit = list_[i].serial_number; *unit != 0; ++unit) key += static_cast<char>(*unit);
      if (key == serial) return list_[i];
    }
    ADD_FAILURE() << "no interface " << serial;
    return {};
  }

  // Polls until the condition holds; false at the time limit.
  template <typename Condition>
  static bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  TempHome home_;
  std::shared_ptr<monsim::Simulator> sim_ = std::make_shared<monsim::Simulator>(monsim::ReadWaits::RealTime);
  tagMONCTRLINFO* list_ = nullptr;
};

}  // namespace monitortest
