#include "testkit/hiddouble/ScriptedHidFixture.h"

#include <mutex>

#include "foundation/log/Log.h"
#include "testkit/cdrive/TempCDrive.h"

namespace {

std::mutex g_linesMutex;
std::vector<std::wstring> g_lines;

void RecordLine(const wchar_t* line) {
  std::lock_guard lock(g_linesMutex);
  g_lines.emplace_back(line);
}

}  // namespace

void ScriptedHidFixture::SetUp() {
  // The library's log file goes to a C: drive of the test's own, removed when the test ends.
  static const testkit::TempCDrive drive;
  {
    std::lock_guard lock(g_linesMutex);
    g_lines.clear();
  }
  RegisterLogCallback(&RecordLine);

  m_backend = std::make_shared<testkit::ScriptedHidBackend>();
  m_device = m_backend->AddDevice(testkit::MonitorCollection());
  mchid::SetHidBackend(m_backend);
  m_handle = mchid::hid_open_path(m_device->Collection().path.c_str());
  ASSERT_NE(m_handle, nullptr);
}

void ScriptedHidFixture::TearDown() {
  mchid::hid_close(m_handle);
  mchid::SetHidBackend(nullptr);
  RegisterLogCallback(nullptr);
}

std::vector<std::wstring> ScriptedHidFixture::Lines() {
  std::lock_guard lock(g_linesMutex);
  return g_lines;
}

std::vector<std::wstring> ScriptedHidFixture::LinesStartingWith(const std::wstring& prefix) {
  std::vector<std::wstring> found;
  for (const std::wstring& line : Lines()) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

