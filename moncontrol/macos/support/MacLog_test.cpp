#include "moncontrol/macos/support/MacLog.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/log/Log.h"
#include "moncontrol/transport/HeaderLog.h"

namespace fs = std::filesystem;

namespace {

// The log path is fixed once per process, so every case logs in a child process of its own.
class MacLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "maclog-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override { fs::remove_all(m_dir); }

  // Runs `body` in a child whose HOME is `home` (unset when null), working directory m_dir and
  // umask 0; returns the log path the child worked out.
  std::string LogInChild(const char* home, const std::function<void()>& body) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      if (home != nullptr) setenv("HOME", home, 1);
      else unsetenv("HOME");
      umask(0);
      if (chdir(m_dir.c_str()) != 0) _exit(2);
      body();
      const std::string& path = GetLogFilePath();
      bool sent = write(fds[1], path.data(), path.size()) == static_cast<ssize_t>(path.size());
      _exit(sent ? 0 : 3);
    }
    close(fds[1]);
    std::string path;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) path.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return path;
  }

  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The one file the logger made in `folder`.
  static fs::path OnlyLogFile(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? fs::path() : files.front();
  }

  fs::path m_dir;
};

TEST_F(MacLogTest, FolderFromHomeCreatedWholeAndFileNamedByFirstLineTime) {
  struct Case {
    const char* name;
    bool setHome;
    const char* homeBelowDir;  // HOME = m_dir/this (missing, with its parent)
    std::string pathPrefix;    // the path the child reports, before the time stamp
  };
  const Case cases[] = {
      {"HOME unset", false, "", "./Documents/HalvaneSDK/Log_"},
      {"HOME without Documents", true, "users/anna", (m_dir / "users/anna/Documents/HalvaneSDK/Log_").string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string home = (m_dir / c.homeBelowDir).string();
    std::time_t before = std::time(nullptr);
    std::string path = LogInChild(c.setHome ? home.c_str() : nullptr, [] { LogInfo("first line %d", 1); });
    std::time_t after = std::time(nullptr);

    ASSERT_EQ(path.rfind(c.pathPrefix, 0), 0u) << path;
    std::string stamp = path.substr(c.pathPrefix.size());
    ASSERT_EQ(stamp.size(), std::string("YYYYmmdd_HHMMSS.txt").size()) << stamp;
    EXPECT_EQ(stamp.substr(15), ".txt");
    std::tm local{};
    ASSERT_NE(strptime(stamp.c_str(), "%Y%m%d_%H%M%S", &local), nullptr) << stamp;
    local.tm_isdst = -1;
    std::time_t logged = std::mktime(&local);
    EXPECT_TRUE(logged >= before && logged <= after) << stamp;

    fs::path folder = m_dir / (c.setHome ? c.homeBelowDir : "") / "Documents/HalvaneSDK";
    EXPECT_EQ(ReadFile(folder / ("Log_" + stamp)), "[INFO] first line 1\n");
    for (const fs::path& created : {folder.parent_path(), folder})
      EXPECT_EQ(fs::status(created).permissions(), static_cast<fs::perms>(0755)) << created;
  }
}

TEST_F(MacLogTest, LevelsPrefixedNarrowAndWideFormsAndLongMessagesCut) {
  std::string home = m_dir.string();
  LogInChild(home.c_str(), [] {
    LogInfo("plain %d", 7);
    LogWarn("%s", "warned");
    LogError("error %x", 0xBEEFu);
    LogInfo("%s", std::string(2000, 'x').c_str());
    // Windows conventions: %s is wide, %hs narrow.
    LogWarn(L"serial %s on %hs", L"SN-\u00E9\u20AC", "usb-3");
    LogError(L"%hs", "ab\xFF" "cd");
    // 1 + 600 * 3 bytes: the cut at 1023 would fall inside a character.
    LogInfo(L"a%s", std::wstring(600, L'\u20AC').c_str());
    const std::uint8_t bytes[] = {0x00, 0x1F};
    LogHexData(L"dump:", bytes, sizeof bytes);
    LogSendHeader(tagMCCMD_HEADER{});
    LogReceiveHeader(tagMCCMD_RECEIVE_HEADER{});
  });

  std::string euros;
  for (int i = 0; i < 340; ++i) euros += "\xE2\x82\xAC";
  std::string expected = "[INFO] plain 7\n"
                         "[WARN] warned\n"
                         "[ERROR] error beef\n"
                         "[INFO] " + std::string(1023, 'x') + "\n"
                         "[WARN] serial SN-\xC3\xA9\xE2\x82\xAC on usb-3\n"
                         "[ERROR] ab\xC3\xBF" "cd\n"  // the stray byte kept as U+00FF
                         "[INFO] a" + euros + "\n";
  EXPECT_EQ(ReadFile(OnlyLogFile(m_dir / "Documents/HalvaneSDK")), expected);
}

TEST_F(MacLogTest, LinesOfConcurrentThreadsAllPresentAndWhole) {
  constexpr int kThreads = 8;
  constexpr int kLines = 100;
  auto message = [](int thread, int line) {
    return "t" + std::to_string(thread) + " n" + std::to_string(line) + " " +
           std::string(900, static_cast<char>('a' + thread));
  };
  std::string home = m_dir.string();
  LogInChild(home.c_str(), [&] {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        for (int n = 0; n < kLines; ++n) LogWarn("%s", message(t, n).c_str());
      });
    for (std::thread& thread : threads) thread.join();
  });

  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int n = 0; n < kLines; ++n) expected.push_back("[WARN] " + message(t, n));
  std::vector<std::string> lines;
  std::istringstream file(ReadFile(OnlyLogFile(m_dir / "Documents/HalvaneSDK")));
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  std::sort(expected.begin(), expected.end());
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, expected);
}

}  // namespace
