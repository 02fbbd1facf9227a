#include "moncontrol/macos/support/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "testkit/clock/FakeClock.h"

namespace fs = std::filesystem;

namespace {

// A second process that takes the lock at once and holds it until told to let go.
class LockHolder {
 public:
  explicit LockHolder(const std::wstring& name) {
    int report[2];
    int command[2];
    if (pipe(report) != 0 || pipe(command) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      close(report[0]);
      close(command[1]);
      int fd = AcquireLockFile(name.c_str(), 0);
      char held = fd >= 0 ? '1' : '0';
      char go = 0;
      bool ok = write(report[1], &held, 1) == 1 && read(command[0], &go, 1) >= 0;
      ReleaseLockFile(fd);
      _exit(ok ? 0 : 1);
    }
    close(report[1]);
    close(command[0]);
    m_command = command[1];
    char held = '0';
    m_holds = read(report[0], &held, 1) == 1 && held == '1';
    close(report[0]);
  }

  ~LockHolder() {
    LetGo();
    if (m_pid <= 0) return;
    int status = 0;
    EXPECT_EQ(waitpid(m_pid, &status, 0), m_pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  bool Holds() const { return m_holds; }

  // Asks the holder to release, without waiting for it.
  void LetGo() {
    if (m_command < 0) return;
    close(m_command);
    m_command = -1;
  }

 private:
  pid_t m_pid = -1;
  int m_command = -1;
  bool m_holds = false;
};

// Moves its time by each sleep but sleeps only a breath of real time; the first sleep lets the
// holder go, so the caller must have waited before it can get the lock.
class LetGoOnFirstSleep final : public tarvik::Clock {
 public:
  explicit LetGoOnFirstSleep(LockHolder& holder) : m_holder(holder) { tarvik::SetCurrentClock(this); }
  ~LetGoOnFirstSleep() override { tarvik::SetCurrentClock(nullptr); }

  TimePoint Now() override { return m_now; }
  WallTime WallNow() override { return std::chrono::system_clock::now(); }
  void SleepFor(Duration duration) override {
    if (m_sleeps++ == 0) m_holder.LetGo();
    m_now += duration;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  int Sleeps() const { return m_sleeps; }

 private:
  LockHolder& m_holder;
  TimePoint m_now = std::chrono::steady_clock::now();
  int m_sleeps = 0;
};

class LockFileTest : public ::testing::Test {
 protected:
  // Names unique to this process, so that parallel runs do not meet in /tmp.
  std::wstring Name(const std::wstring& suffix) {
    return L"lockfile-test-" + std::to_wstring(getpid()) + L"-" + suffix;
  }
  std::string PathOf(const std::string& suffixUtf8) {
    std::string path = "/tmp/halvanesdk_lockfile-test-" + std::to_string(getpid()) + "-" + suffixUtf8 + ".lock";
    m_paths.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : m_paths) unlink(path.c_str());
  }

  std::vector<std::string> m_paths;
};

TEST_F(LockFileTest, PathFromUtf8NameWithSlashesReplaced) {
  struct Case {
    std::wstring suffix;
    std::string pathSuffix;
  };
  const Case cases[] = {
      {L"a/b\\c", "a_b_c"},
      {L"caf\u00E9", "caf\xC3\xA9"},
  };
  for (const Case& c : cases) {
    std::string path = PathOf(c.pathSuffix);
    SCOPED_TRACE(path);
    int fd = AcquireLockFile(Name(c.suffix).c_str(), 0);
    ASSERT_GE(fd, 0);
    struct stat held {};
    struct stat named {};
    ASSERT_EQ(fstat(fd, &held), 0);
    ASSERT_EQ(stat(path.c_str(), &named), 0);
    EXPECT_EQ(held.st_ino, named.st_ino);
    EXPECT_EQ(held.st_dev, named.st_dev);
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ReleaseLockFile(fd);
  }
}

TEST_F(LockFileTest, HeldByAnotherProcessFailsAfterTheTimeOut) {
  struct Case {
    int timeoutMs;
    std::vector<long long> sleeps;
  };
  const Case cases[] = {
      {0, {}},
      {500, {100, 100, 100, 100, 100}},
  };
  PathOf("held");
  LockHolder holder(Name(L"held"));
  ASSERT_TRUE(holder.Holds());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeoutMs);
    testkit::FakeClock clock;
    EXPECT_EQ(AcquireLockFile(Name(L"held").c_str(), c.timeoutMs), -1);
    EXPECT_EQ(clock.Sleeps(), c.sleeps);
  }
}

TEST_F(LockFileTest, WaitingCallerGetsTheLockOnceTheHolderReleases) {
  PathOf("handover");
  LockHolder holder(Name(L"handover"));
  ASSERT_TRUE(holder.Holds());
  LetGoOnFirstSleep clock(holder);
  int fd = AcquireLockFile(Name(L"handover").c_str(), -1);
  EXPECT_GE(fd, 0);
  EXPECT_GE(clock.Sleeps(), 1);
  ReleaseLockFile(fd);
}

TEST_F(LockFileTest, ReleaseUnlocksAndClosesTheDescriptor) {
  PathOf("release");
  int fd = AcquireLockFile(Name(L"release").c_str(), 0);
  ASSERT_GE(fd, 0);
  ReleaseLockFile(fd);
  errno = 0;
  EXPECT_EQ(fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
  ReleaseLockFile(-1);  // no descriptor: nothing to do
  LockHolder next(Name(L"release"));
  EXPECT_TRUE(next.Holds());
}

TEST_F(LockFileTest, LinkPlantedAtTheLockPathIsNotFollowed) {
  std::string pattern = (fs::temp_directory_path() / "lockfile-link-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const fs::path existing = dir / "existing";
  std::ofstream(existing) << "keep";
  struct Case {
    const char* suffix;
    fs::path target;
  };
  const Case cases[] = {
      {"link-existing", existing},
      {"link-dangling", dir / "missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.suffix);
    std::string path = PathOf(c.suffix);
    ASSERT_EQ(symlink(c.target.c_str(), path.c_str()), 0);
    std::wstring suffix(c.suffix, c.suffix + std::char_traits<char>::length(c.suffix));
    int fd = AcquireLockFile(Name(suffix).c_str(), 0);
    EXPECT_EQ(fd, -1);
    ReleaseLockFile(fd);
  }
  EXPECT_FALSE(fs::exists(dir / "missing"));
  std::ifstream in(existing);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "keep");
  fs::remove_all(dir);
}

}  // namespace
