#include "agent-windows/AgentLog.h"

#include <ctime>
#include <string>

#include <spdlog/details/os.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include "agent-windows/Folders.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"
#include "platform/win32/Win32.h"

namespace {

constexpr std::size_t kLogFileBytes = 10485760;
constexpr std::size_t kLogFiles = 5;

std::string StartTimeText() {
  std::tm local = spdlog::details::os::localtime(std::time(nullptr));
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y_%m_%d_%H_%M_%S", &local);
  return text;
}

}  // namespace

void InitLog() {
  std::string fileName = "\\Quelmo\\Tarvik Client\\Log_s\\Tarvik_LogFile_" + StartTimeText() + ".txt";
  std::wstring common;
  if (GetCommonAppDataFolder(&common)) {
    MakeFolderPath(common, {L"Quelmo", L"Tarvik Client", L"Log_s"});
    fileName = WStringToString(common) + fileName;
  }
  try {
    auto logger = spdlog::rotating_logger_mt("file_logger", win32::NativePathForDependency(fileName),
                                             kLogFileBytes, kLogFiles, false);
    spdlog::set_default_logger(logger);
    spdlog::set_level(spdlog::level::info);
    spdlog::set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%l] %v", spdlog::pattern_time_type::local);
  } catch (...) {
    LogError(L"Init log failed!");
  }
}
