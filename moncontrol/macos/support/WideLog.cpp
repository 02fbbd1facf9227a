// The wide log front-end of foundation/log/Log.h as the macOS library has it: the shared sources'
// lines, formatted by the Windows wide printf conventions, go to the library's log file as UTF-8.
#include <cstdarg>
#include <string>

#include "foundation/log/Log.h"
#include "foundation/log/WideFormat.h"
#include "moncontrol/macos/support/LogFile.h"
#include "moncontrol/macos/support/Utf8.h"

namespace {

// The longest head of `text` that fits `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

void WriteFormatted(int level, const wchar_t* format, va_list args) {
  try {
    std::string text = ToUtf8(tarvik::FormatWideV(format, args));
    AppendLogLine(level, CutAtCharacter(text, kMaxLogMessage));
  } catch (...) {
    // Out of memory: the line stays unwritten.
  }
}

}  // namespace

void LogInfo(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(kLogInfo, format, args);
  va_end(args);
}

void LogWarn(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(kLogWarn, format, args);
  va_end(args);
}

void LogError(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(kLogError, format, args);
  va_end(args);
}

// The macOS library dumps no bytes.
void LogHexData(const wchar_t*, const std::uint8_t*, std::size_t) {}
