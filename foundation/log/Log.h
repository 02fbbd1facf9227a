// The program-wide log front-end: three printf-style levels with the Windows wide printf
// conventions (in a wide format %s is a wide string, %S and %hs narrow, l on an integer 32 bits),
// written to spdlog's default logger and to a host's callback.
// The formatter itself is tarvik::FormatWideV in foundation/log/WideFormat.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/Export.h"

using LogCallback = void (*)(const wchar_t* line);

enum LogLevel : int { kLogInfo = 2, kLogWarn = 3, kLogError = 4 };

void LogInfo(const wchar_t* format, ...);
void LogWarn(const wchar_t* format, ...);
void LogError(const wchar_t* format, ...);

void WriteLog(int level, const std::wstring& text);
// Writes out what the loggers hold, before the process ends without running destructors.
void FlushLogs();

TARVIK_EXPORT void RegisterLogCallback(LogCallback callback);
void InitSDKLog();

// "<prefix> 0A 1F ..." at info level.
void LogHexData(const wchar_t* prefix, const std::uint8_t* data, std::size_t length);

// Hex text (spaces ignored) to a byte array made with new[]; 1 when at least one byte came out.
std::int32_t HexStringToBytes(const std::string& text, std::uint8_t** bytes, std::int32_t* count);
void WriteUInt32LE(std::uint32_t value, std::uint8_t* out);
