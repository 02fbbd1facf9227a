#include "moncontrol/macos/support/MacLog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "foundation/log/Log.h"

namespace {

void WriteFormatted(int level, const char* format, va_list args) {
  if (format == nullptr) return;
  char message[kMaxLogMessage + 1];
  int length = std::vsnprintf(message, sizeof message, format, args);
  if (length < 0) return;  // a formatting error leaves the line unwritten
  AppendLogLine(level, std::string_view(message, std::min<std::size_t>(length, kMaxLogMessage)));
}

}  // namespace

void LogInfo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(kLogInfo, format, args);
  va_end(args);
}

void LogWarn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(kLogWarn, format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(kLogError, format, args);
  va_end(args);
}
