#include "moncontrol/macos/support/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "foundation/clock/Clock.h"
#include "moncontrol/macos/support/Utf8.h"

namespace {

constexpr std::uint32_t kRetryMs = 100;

std::string LockFilePath(const wchar_t* name) {
  std::string path = "/tmp/halvanesdk_";
  for (char c : WStringToUtf8(name)) path.push_back(c == '/' || c == '\\' ? '_' : c);
  return path + ".lock";
}

int TryLock(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  close(fd);
  return -1;
}

}  // namespace

int AcquireLockFile(const wchar_t* name, int timeoutMs) {
  std::string path;
  try {
    path = LockFilePath(name);
  } catch (...) {
    return -1;  // out of memory; nothing may escape an export
  }
  const tarvik::Clock::TimePoint start = tarvik::CurrentClock().Now();
  for (;;) {
    int fd = TryLock(path);
    if (fd >= 0 || timeoutMs == 0) return fd;
    if (timeoutMs > 0 && tarvik::CurrentClock().Now() - start >= std::chrono::milliseconds(timeoutMs))
      return -1;
    tarvik::SleepMs(kRetryMs);
  }
}

void ReleaseLockFile(int fd) {
  if (fd < 0) return;
  flock(fd, LOCK_UN);
  close(fd);
}
