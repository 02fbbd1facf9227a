#include "moncontrol/macos/testing/MacScriptedHidFixture.h"

#include <filesystem>
#include <fstream>

#include "moncontrol/macos/support/MacLog.h"
#include "moncontrol/macos/testing/TempHome.h"
#include "platform/macos/HidDeviceSource.h"

namespace {

// The log's path is fixed by the first line a process writes, so the whole binary shares one
// HOME.
void UseHomeOfOurOwn() { static const TempHome home; }

std::uintmax_t LogSize() {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(GetLogFilePath(), error);
  return error ? 0 : size;
}

}  // namespace

void MacScriptedHidFixture::SetUp() {
  UseHomeOfOurOwn();
  m_logStart = LogSize();
  m_backend = std::make_shared<testkit::ScriptedHidBackend>();
  m_device = m_backend->AddDevice(testkit::MonitorCollection());
  macstandin::SetHidDeviceSource(m_backend);
  const mchid::HidCollection& c = m_device->Collection();
  m_handle = mchid::hid_open(c.vendor_id, c.product_id, c.serial_number->c_str(), -1);
  ASSERT_NE(m_handle, nullptr);
}

void MacScriptedHidFixture::TearDown() {
  mchid::hid_close(m_handle);
  macstandin::SetHidDeviceSource(nullptr);
}

std::vector<std::string> MacScriptedHidFixture::LogLines() const {
  std::ifstream file(GetLogFilePath(), std::ios::binary);
  file.seekg(static_cast<std::streamoff>(m_logStart));
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> MacScriptedHidFixture::LogLinesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& line : LogLines()) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}
