#include "foundation/log/Log.h"

#include <atomic>
#include <cstdarg>
#include <ctime>
#include <cwchar>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/details/os.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "foundation/log/WideFormat.h"
#include "platform/win32/Win32.h"

namespace {

// Written by RegisterLogCallback without a lock, read on every line: an atomic pointer.
std::atomic<LogCallback> g_callback{nullptr};

constexpr const char* kFileLoggerName = "file_logger";

std::string ToCodePage(UINT codePage, const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  int wideLength = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
  int narrowLength = WideCharToMultiByte(codePage, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (narrowLength <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(narrowLength));
  int written = WideCharToMultiByte(codePage, 0, text, wideLength, buffer.data(), narrowLength,
                                    nullptr, nullptr);
  if (written <= 0) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(written));
}

spdlog::level::level_enum ToSpdlogLevel(int level) {
  switch (level) {
    case kLogWarn: return spdlog::level::warn;
    case kLogError: return spdlog::level::err;
    default: return spdlog::level::info;
  }
}

void FormatAndWrite(int level, const wchar_t* format, va_list args) {
  std::wstring text;
  try {
    text = tarvik::FormatWideV(format, args);
  } catch (...) {
    return;  // out of memory: the line stays unwritten
  }
  WriteLog(level, text);
}

}  // namespace

void LogInfo(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatAndWrite(kLogInfo, format, args);
  va_end(args);
}

void LogWarn(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatAndWrite(kLogWarn, format, args);
  va_end(args);
}

void LogError(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatAndWrite(kLogError, format, args);
  va_end(args);
}

void WriteLog(int level, const std::wstring& text) {
  try {
    spdlog::level::level_enum spdlogLevel = ToSpdlogLevel(level);
    std::string narrow = ToCodePage(CP_THREAD_ACP, text.data(), text.size());
    // A copy of the default logger, so that a concurrent set_default_logger cannot free it.
    if (std::shared_ptr<spdlog::logger> logger = spdlog::default_logger())
      logger->log(spdlogLevel, spdlog::string_view_t(narrow));
    // Every registered logger now flushes on this level and above: a line is flushed when
    // its level is at least that of the line before it.
    spdlog::flush_on(spdlogLevel);
  } catch (...) {
    // Logging never reports failure; the callback still gets the line.
  }
  if (LogCallback callback = g_callback.load(std::memory_order_acquire)) callback(text.c_str());
}

void FlushLogs() {
  try {
    spdlog::apply_all([](const std::shared_ptr<spdlog::logger>& logger) { logger->flush(); });
    if (std::shared_ptr<spdlog::logger> logger = spdlog::default_logger()) logger->flush();
  } catch (...) {
    // The process is ending; there is nobody left to tell.
  }
}

void RegisterLogCallback(LogCallback callback) {
  g_callback.store(callback, std::memory_order_release);
  InitSDKLog();
}

void InitSDKLog() {
  // Two registrations at once must not both pass the "file_logger" check below.
  static std::mutex initMutex;
  try {
    std::lock_guard<std::mutex> lock(initMutex);
    std::tm local = spdlog::details::os::localtime(std::time(nullptr));
    char timeText[32] = {};
    std::strftime(timeText, sizeof timeText, "%Y_%m_%d_%H_%M_%S", &local);

    std::string folder;
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
      path[MAX_PATH - 1] = L'\0';
      folder = ToCodePage(CP_UTF8, path, std::wcslen(path));
    }
    std::string fileName = folder + "\\Quelmo\\HalvaneSDK\\Log_s\\SDKLogFile_" + timeText + ".txt";

    // spdlog opens the file before it finds the name taken, so look first: when the agent's
    // (or an earlier) "file_logger" exists, nothing is created and the default logger stays.
    if (spdlog::get(kFileLoggerName)) return;
    auto logger = spdlog::basic_logger_mt(kFileLoggerName, win32::NativePathForDependency(fileName),
                                          false, spdlog::file_event_handlers{});
    spdlog::set_default_logger(logger);
    spdlog::set_level(spdlog::level::info);
    spdlog::set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%l] %v", spdlog::pattern_time_type::local);
  } catch (...) {
    // Every spdlog exception (and any other) is swallowed.
  }
}

void LogHexData(const wchar_t* prefix, const std::uint8_t* data, std::size_t length) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring line;
  try {
    if (prefix != nullptr) line = prefix;
    if (data != nullptr) {
      line.reserve(line.size() + 3 * length);
      for (std::size_t i = 0; i < length; ++i) {
        line.push_back(L' ');
        line.push_back(kDigits[data[i] >> 4]);
        line.push_back(kDigits[data[i] & 0x0F]);
      }
    }
  } catch (...) {
    return;
  }
  WriteLog(kLogInfo, line);
}
