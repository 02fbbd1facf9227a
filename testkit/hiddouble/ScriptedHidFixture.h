// A GoogleTest fixture: a scripted monitor installed as the HID backend and opened, the fake
// clock, and the log lines captured through the host callback.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "moncontrol/hid/HidApi.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/hiddouble/Replies.h"
#include "testkit/hiddouble/ScriptedHidDevice.h"

class ScriptedHidFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Every line logged since SetUp.
  static std::vector<std::wstring> Lines();
  // The lines that start with prefix.
  static std::vector<std::wstring> LinesStartingWith(const std::wstring& prefix);

  testkit::FakeClock m_clock;
  std::shared_ptr<testkit::ScriptedHidBackend> m_backend;
  std::shared_ptr<testkit::ScriptedHidDevice> m_device;
  mchid::hid_device* m_handle = nullptr;
};
