// The library's module-level state: the device key of every handle opened through
// OpenMonCtrl2, the named mutex of every key, the listeners, and the library lock that guards
// them. The lock is held for one map operation at a time, never across a device exchange or
// a mutex wait. Listener threads reach the same maps, so nothing here is touched unlocked.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"
#if !defined(TARVIK_MACOS)
#include "platform/win32/Win32.h"
#endif

struct tagMONCTRL_LISTEN;

struct LibraryState {
  std::map<mchid::hid_device*, std::wstring> handles;        // handle -> device key
#if !defined(TARVIK_MACOS)
  std::map<std::wstring, HANDLE> mutexes;                     // device key -> named mutex, may be null
#endif
  std::map<std::wstring, tagMONCTRL_LISTEN*> listeners;       // device key -> listener
  // The texts GetMutexName handed out; kept for the life of the process so none dangles.
  std::set<std::wstring> mutexNames;
};

// Holds the library lock for its scope; recursive for its thread. The lock exists from first
// use to the end of the process, so a call before Init or after Uninit is still safe.
class ScopedLibraryLock {
 public:
  ScopedLibraryLock();
  ~ScopedLibraryLock();
  ScopedLibraryLock(const ScopedLibraryLock&) = delete;
  ScopedLibraryLock& operator=(const ScopedLibraryLock&) = delete;

  LibraryState& State() const;
};

// fn(LibraryState&) under the library lock; its result.
template <typename Fn>
decltype(auto) WithLibraryState(Fn&& fn) {
  ScopedLibraryLock lock;
  return std::forward<Fn>(fn)(lock.State());
}

// The listener code installs how Uninit stops every running listener before the listener map
// is cleared.
void SetListenerStopHook(void (*stopAllListeners)());

TARVIK_EXPORT std::int32_t Init();
#if defined(TARVIK_MACOS)
// Tells the listeners to stop and forgets them. Handles stay open.
TARVIK_EXPORT std::int32_t Uninit();
// The macOS library carries its tables in itself: nothing to remember. 0.
TARVIK_EXPORT std::int32_t SetGlobalHandle(void* module);
#else
// The module whose resources hold the library's JSON tables; null for the executable's own.
HMODULE GlobalResourceModule();

// Stops the listeners, closes every device mutex and forgets the mutexes and listeners.
// Handles stay open and registered.
TARVIK_EXPORT std::int32_t Uninit();
TARVIK_EXPORT HMODULE SetGlobalHandle(HMODULE module);
#endif
