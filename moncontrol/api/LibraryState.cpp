#include "moncontrol/api/LibraryState.h"

#include <atomic>

#if defined(TARVIK_MACOS)
#include <mutex>
#else
#include "foundation/sync/CCriticalSectionEx.h"
#include "moncontrol/api/DeviceMutex.h"
#endif

namespace {

#if defined(TARVIK_MACOS)
class LibraryLock {
 public:
  void Lock() { m_mutex.lock(); }
  void Unlock() { m_mutex.unlock(); }

 private:
  std::recursive_mutex m_mutex;
};
#else
using LibraryLock = CCriticalSectionEx;
#endif

// Never destroyed: listener threads may still take the lock while the process exits.
struct Library {
  LibraryLock lock;
  LibraryState state;
};

Library& TheLibrary() {
  static Library* library = new Library();
  return *library;
}

std::atomic<void (*)()> g_stopAllListeners{nullptr};
#if !defined(TARVIK_MACOS)
std::atomic<HMODULE> g_resourceModule{nullptr};
#endif

}  // namespace

ScopedLibraryLock::ScopedLibraryLock() { TheLibrary().lock.Lock(); }

ScopedLibraryLock::~ScopedLibraryLock() { TheLibrary().lock.Unlock(); }

LibraryState& ScopedLibraryLock::State() const { return TheLibrary().state; }

void SetListenerStopHook(void (*stopAllListeners)()) { g_stopAllListeners.store(stopAllListeners); }

std::int32_t Init() {
  TheLibrary();
  return 0;
}

std::int32_t Uninit() {
  // Outside the lock: stopping a listener takes the lock itself.
  if (void (*stopAll)() = g_stopAllListeners.load()) stopAll();
#if !defined(TARVIK_MACOS)
  CloseAllDeviceMutex();
#endif
  return 0;
}

#if defined(TARVIK_MACOS)
std::int32_t SetGlobalHandle(void*) { return 0; }
#else
HMODULE GlobalResourceModule() { return g_resourceModule.load(); }

HMODULE SetGlobalHandle(HMODULE module) {
  g_resourceModule.store(module);
  return module;
}
#endif
