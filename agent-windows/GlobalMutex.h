// The process-wide named mutex that every user of the monitor-control library shares.
#pragma once

#include <cstdint>

#include "platform/win32/Win32.h"

inline constexpr const wchar_t* kGlobalMutexName = L"Global\\HalvaneSDK";
// How long the agent's device work waits for it before putting the work off.
inline constexpr std::uint32_t kGlobalMutexWaitMs = 2000;

// Opens the mutex, or creates it (not owned) open to every account; null when neither works.
HANDLE CreateGlobalMutex(const wchar_t* name);
