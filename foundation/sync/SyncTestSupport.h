// What the tests of the locks share: the log lines they write, a namespace of named mutexes
// that belongs to the test process alone, and names no other test uses.
#pragma once

#include <gtest/gtest.h>
#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32.h"

namespace synctest {

// Closes a handle at the end of the scope, so a failed assertion leaves no name behind.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
  ~ScopedHandle() {
    if (m_handle != nullptr) CloseHandle(m_handle);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

inline std::wstring UniqueName(const std::wstring& prefix = L"") {
  static std::atomic<int> counter{0};
  return prefix + L"sync-test-" + std::to_wstring(getpid()) + L"-" + std::to_wstring(++counter);
}

// Each test runs with its log lines ("<level> <text>") in memory, in a namespace root of the
// process's own, and must leave no name behind: the last handle of a name removes it.
class SyncTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    [[maybe_unused]] static const std::string root = [] {
      std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : testing::TempDir();
      std::string pattern = base + "/tarvik-sync-XXXXXX";
      std::string dir = mkdtemp(pattern.data()) != nullptr ? pattern : base;
      setenv("TARVIK_KERNEL_OBJECTS", dir.c_str(), 1);
      std::atexit([] { std::filesystem::remove_all(getenv("TARVIK_KERNEL_OBJECTS")); });
      return dir;
    }();
  }

  void SetUp() override {
    m_previousLogger = spdlog::default_logger();
    ClearLog();
  }

  void TearDown() override {
    spdlog::set_default_logger(m_previousLogger);
    EXPECT_EQ(LeftoverNames(), std::vector<std::string>{});
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines = m_sink->last_formatted();
    for (std::string& line : lines)
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return lines;
  }
  void ClearLog() { m_sink = ReplaceSink(); }

  static std::vector<std::string> LeftoverNames() {
    std::vector<std::string> names;
    for (const auto& folder :
         std::filesystem::directory_iterator(getenv("TARVIK_KERNEL_OBJECTS"))) {
      if (!folder.is_directory()) continue;
      for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().string());
    }
    return names;
  }

 private:
  std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> ReplaceSink() {
    auto sink = std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(1024);
    sink->set_pattern("%l %v");
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("sync_test", sink));
    return sink;
  }

  std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> m_sink;
  std::shared_ptr<spdlog::logger> m_previousLogger;
};

// The name as the log front-end writes it (UTF-8 here).
inline std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

}  // namespace synctest
