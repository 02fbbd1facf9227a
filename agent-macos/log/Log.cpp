#include "agent-macos/log/Log.h"

#include <atomic>
#include <cstdio>

#include "agent-macos/log/LogFile.h"

namespace Utils {
namespace {

std::atomic<LogLevel> g_logLevel{LogLevel::info};

void writeLine(LogLevel level, const char* prefix, const std::string& message) {
  if (level < g_logLevel.load(std::memory_order_relaxed)) return;
  const std::string text = prefix + message;
  // One call per line keeps lines of different threads apart; flushed so that nothing is lost
  // when the process ends without unwinding.
  flockfile(stdout);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  funlockfile(stdout);
  writeLogLine(text);
}

}  // namespace

void logInfo(const std::string& message) { writeLine(LogLevel::info, "[Info] ", message); }
void logWarn(const std::string& message) { writeLine(LogLevel::warn, "[Warn] ", message); }
void logError(const std::string& message) { writeLine(LogLevel::error, "[Error] ", message); }

void setLogLevel(LogLevel level) { g_logLevel.store(level, std::memory_order_relaxed); }
LogLevel logLevel() { return g_logLevel.load(std::memory_order_relaxed); }

}  // namespace Utils
