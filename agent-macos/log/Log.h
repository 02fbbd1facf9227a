// The agent's log: every line to the standard output and, time-stamped, to one file per run in
// /var/log/HalvaneSDK. The level comes from the "LogLevel" setting.
#pragma once

#include <string>

enum class LogLevel { info = 0, warn = 1, error = 2 };

namespace Utils {

void logInfo(const std::string& message);
void logWarn(const std::string& message);
void logError(const std::string& message);

// Only the settings loader sets it; info until then.
void setLogLevel(LogLevel level);
LogLevel logLevel();

}  // namespace Utils
