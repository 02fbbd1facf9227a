// The macOS library's log file: $HOME/Documents/HalvaneSDK/Log_<local time>.txt ("." for an unset
// HOME), one per process, and the writer of its lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest message a line holds, in bytes.
inline constexpr std::size_t kMaxLogMessage = 1023;

// Worked out on the first call, which also creates every missing folder of it.
const std::string& GetLogFilePath();

// Appends "<prefix><message>\n" with one write, so concurrent lines never interleave.
// `level` is kLogInfo, kLogWarn or kLogError; the message is cut to kMaxLogMessage bytes.
// A file that cannot be opened drops the line.
void AppendLogLine(int level, std::string_view message) noexcept;
