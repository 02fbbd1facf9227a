// The process's unhandled-exception filter in service mode: a minidump of the crash in
// C:\ProgramData\Quelmo, then the system's own handling, which ends the process.
#pragma once

#include "platform/win32/Win32.h"

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exceptionPointers);
