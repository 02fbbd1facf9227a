// A GoogleTest fixture for the macOS build of the library: a scripted monitor shown by the
// IOKit stand-in and opened through the macOS HID layer, the fake clock, and the library log's
// lines, read back from its file under a HOME of the test binary's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "moncontrol/hid/HidApi.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/hiddouble/Replies.h"
#include "testkit/hiddouble/ScriptedHidDevice.h"

class MacScriptedHidFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The lines written since SetUp, level prefix included.
  std::vector<std::string> LogLines() const;
  std::vector<std::string> LogLinesStartingWith(const std::string& prefix) const;

  testkit::FakeClock m_clock;
  std::shared_ptr<testkit::ScriptedHidBackend> m_backend;
  std::shared_ptr<testkit::ScriptedHidDevice> m_device;
  mchid::hid_device* m_handle = nullptr;

 private:
  std::uintmax_t m_logStart = 0;
};
