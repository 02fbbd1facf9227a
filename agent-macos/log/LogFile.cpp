#include "agent-macos/log/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/macos/Dispatch.h"
#include "platform/macos/NativePath.h"

namespace Utils {
namespace {

constexpr const char* kLogFolder = "/var/log/HalvaneSDK";

std::string formatTime(std::time_t now, bool utc, const char* format) {
  std::tm parts{};
  if (utc) {
    gmtime_r(&now, &parts);
  } else {
    localtime_r(&now, &parts);
  }
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, format, &parts);
  return std::string(text, length);
}

// -1 when the folder or the file cannot be made or opened: the file log then stays off.
int openLogFile() {
  std::error_code ignored;
  const std::filesystem::path folder = macos::NativePathForDependency(kLogFolder);
  std::filesystem::create_directories(folder, ignored);
  const std::string name = "log_" + formatTime(std::time(nullptr), false, "%Y%m%d_%H%M%S") + ".txt";
  // Created 0600 in the first place, so that no one else can open it even for a moment.
  int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd >= 0) ::fchmod(fd, 0600);  // a file left by an earlier run in the same second
  return fd;
}

struct LogQueue {
  dispatch_queue_t queue = dispatch_queue_create("com.quelmo.tarvik.logQueue", DISPATCH_QUEUE_SERIAL);
  std::optional<int> logFileHandle;  // touched on the queue only
};

LogQueue& logQueue() {
  static LogQueue* shared = new LogQueue;  // never freed: lines are written until the very end
  return *shared;
}

struct PendingLine {
  LogQueue* log;
  const std::string* text;
};

void writeOnQueue(void* context) {
  auto* pending = static_cast<PendingLine*>(context);
  LogQueue& log = *pending->log;
  if (!log.logFileHandle) log.logFileHandle = openLogFile();
  if (*log.logFileHandle < 0) return;
  std::string line = "[" + formatTime(std::time(nullptr), true, "%Y-%m-%d %H:%M:%S +0000") + "] " + *pending->text + "\n";
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    ssize_t written = ::write(*log.logFileHandle, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void writeLogLine(const std::string& text) {
  LogQueue& log = logQueue();
  PendingLine pending{&log, &text};
  dispatch_sync_f(log.queue, &pending, writeOnQueue);
}

}  // namespace Utils
