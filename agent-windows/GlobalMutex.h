// The process-wide named mutex that every user of the monitor-control library shares.
#pragma once

#include "platform/win32/Win32.h"

inline constexpr const wchar_t* kGlobalMutexName = L"Global\\HalvaneSDK";

// Opens the mutex, or creates it (not owned) open to every account; null when neither works.
HANDLE CreateGlobalMutex(const wchar_t* name);
