// A scoped hold on an existing named system mutex: it opens the mutex by name, waits for it up
// to a time-out, and releases and closes it at the end of its scope. It never creates a mutex,
// so a name that no process created can never be locked.
#pragma once

#include <cstdint>

#include "platform/win32/Win32.h"

class MutexGuard {
 public:
  // name is borrowed and must outlive the guard. Never throws.
  MutexGuard(const wchar_t* name, std::uint32_t timeoutMs);
  ~MutexGuard();

  MutexGuard(const MutexGuard&) = delete;
  MutexGuard& operator=(const MutexGuard&) = delete;

  bool IsLocked() const { return m_nState == kOwned; }

  // Releases and closes early, as the end of the scope would; the end of the scope then only
  // logs that it starts releasing. Must run on the thread that made the guard.
  void Release();

 private:
  static constexpr std::int32_t kOwned = 0;
  static constexpr std::int32_t kTimedOut = 1;
  static constexpr std::int32_t kNotAcquired = 2;

  HANDLE m_hMutex = nullptr;
  std::int32_t m_nState = kNotAcquired;
  const wchar_t* m_pszName = nullptr;
};
