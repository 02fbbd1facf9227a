#include "moncontrol/macos/support/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "foundation/log/Log.h"

namespace {

// A missing Documents folder would otherwise lose every line.
void CreateFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1))
    mkdir(folder.substr(0, slash).c_str(), 0755);
  mkdir(folder.c_str(), 0755);
}

std::string BuildLogFilePath() {
  const char* home = std::getenv("HOME");
  std::string folder = std::string(home != nullptr ? home : ".") + "/Documents/HalvaneSDK";
  CreateFolders(folder);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
  return folder + "/Log_" + stamp + ".txt";
}

std::string_view Prefix(int level) {
  switch (level) {
    case kLogWarn: return "[WARN] ";
    case kLogError: return "[ERROR] ";
    default: return "[INFO] ";
  }
}

}  // namespace

const std::string& GetLogFilePath() {
  // Never destroyed: listener threads a host let go may still log while the process exits.
  static const std::string* path = new std::string(BuildLogFilePath());
  return *path;
}

void AppendLogLine(int level, std::string_view message) noexcept {
  const std::string* path = nullptr;
  try {
    path = &GetLogFilePath();
  } catch (...) {
    return;  // out of memory: the line is dropped
  }
  std::string_view prefix = Prefix(level);
  message = message.substr(0, kMaxLogMessage);
  char line[sizeof "[ERROR] " + kMaxLogMessage];  // prefix, message, newline
  std::memcpy(line, prefix.data(), prefix.size());
  std::memcpy(line + prefix.size(), message.data(), message.size());
  std::size_t length = prefix.size() + message.size();
  line[length++] = '\n';

  int fd = open(path->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  for (std::size_t written = 0; written < length;) {
    ssize_t n = write(fd, line + written, length - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  close(fd);
}
