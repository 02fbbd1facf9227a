// The macOS library's narrow log front-end: printf formats, one line per call in the library's
// log file. The wide forms of foundation/log/Log.h write to the same file.
#pragma once

#include "moncontrol/macos/support/LogFile.h"

void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWarn(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
