// Every case runs in a child process: the log file is opened by the first line of a process and
// then kept, so each case needs a process of its own.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-macos/log/Log.h"

namespace fs = std::filesystem;

namespace {

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class AgentLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/tarvik-log-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    root_ = folder;
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs body in a child whose Mac root is root_ and whose standard output is kept.
  std::string InChild(const std::function<void()>& body, const char* timeZone = "UTC0") {
    const fs::path out = root_ / "stdout.txt";
    pid_t child = ::fork();
    if (child == 0) {
      ::setenv("TARVIK_MAC_ROOT", root_.c_str(), 1);
      ::setenv("TZ", timeZone, 1);
      ::tzset();
      ::umask(0);
      if (!std::freopen(out.c_str(), "w", stdout)) ::_exit(2);
      body();
      std::fflush(stdout);
      ::_exit(0);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return ReadWhole(out);
  }

  std::vector<fs::path> LogFiles() const {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root_ / "var/log/HalvaneSDK", error)) files.push_back(entry.path());
    return files;
  }

  // The file's lines without their time stamps.
  std::string FileMessages() const {
    const std::vector<fs::path> files = LogFiles();
    if (files.size() != 1) return "<" + std::to_string(files.size()) + " files>";
    return std::regex_replace(ReadWhole(files[0]), std::regex(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000\] )",
                                                              std::regex::multiline),
                              "");
  }

  fs::path root_;
};

TEST_F(AgentLogTest, TheLevelDecidesWhichLinesReachBothOutputs) {
  struct Case {
    LogLevel level;
    std::string expected;
  };
  const Case cases[] = {
      {LogLevel::info, "[Info] i\n[Warn] w\n[Error] e\n"},
      {LogLevel::warn, "[Warn] w\n[Error] e\n"},
      {LogLevel::error, "[Error] e\n"},
  };
  for (const Case& c : cases) {
    fs::remove_all(root_ / "var");
    const std::string out = InChild([&] {
      Utils::setLogLevel(c.level);
      Utils::logInfo("i");
      Utils::logWarn("w");
      Utils::logError("e");
    });
    EXPECT_EQ(out, c.expected) << static_cast<int>(c.level);
    EXPECT_EQ(FileMessages(), c.expected) << static_cast<int>(c.level);
  }
}

TEST_F(AgentLogTest, OneFileNamedInLocalTimeOnlyItsOwnerMayRead) {
  const std::time_t before = std::time(nullptr);
  InChild(
      [] {
        Utils::logError("first");
        Utils::logInfo("second\nspans two lines");
      },
      "XST-5:45");
  const std::vector<fs::path> files = LogFiles();
  ASSERT_EQ(files.size(), 1u);
  struct stat info {};
  ASSERT_EQ(::stat(files[0].c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // The name carries the time in the child's zone, 5:45 ahead; the stamps inside carry UTC.
  std::smatch name;
  const std::string fileName = files[0].filename().string();
  ASSERT_TRUE(std::regex_match(fileName, name, std::regex(R"(log_(\d{8}_\d{6})\.txt)"))) << fileName;
  std::tm local{};
  ASSERT_NE(::strptime(name[1].str().c_str(), "%Y%m%d_%H%M%S", &local), nullptr);
  const long shifted = static_cast<long>(::timegm(&local) - before);
  EXPECT_GE(shifted, 5 * 3600 + 45 * 60 - 5);
  EXPECT_LE(shifted, 5 * 3600 + 45 * 60 + 60);

  const std::string text = ReadWhole(files[0]);
  std::smatch stamp;
  ASSERT_TRUE(std::regex_search(text, stamp, std::regex(R"(^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) \+0000\] \[Error\] first\n)")))
      << text;
  std::tm utc{};
  ASSERT_NE(::strptime(stamp[1].str().c_str(), "%Y-%m-%d %H:%M:%S", &utc), nullptr);
  EXPECT_LE(std::labs(static_cast<long>(::timegm(&utc) - before)), 60);
  EXPECT_EQ(FileMessages(), "[Error] first\n[Info] second\nspans two lines\n");
}

TEST_F(AgentLogTest, WithoutAFolderTheLinesStillReachTheStandardOutput) {
  fs::create_directories(root_ / "var");
  std::ofstream(root_ / "var/log") << "a file where the folder should be";
  const std::string out = InChild([&] {
    Utils::logInfo("before");
    // Even once the folder could be made, the file log stays off for this run.
    fs::remove(root_ / "var/log");
    Utils::logWarn("after");
  });
  EXPECT_EQ(out, "[Info] before\n[Warn] after\n");
  EXPECT_TRUE(LogFiles().empty());
}

}  // namespace
