#include "moncontrol/api/LibraryState.h"

#include <atomic>

#include "foundation/sync/CCriticalSectionEx.h"
#include "moncontrol/api/DeviceMutex.h"

namespace {

// Never destroyed: listener threads may still take the lock while the process exits.
struct Library {
  CCriticalSectionEx lock;
  LibraryState state;
};

Library& TheLibrary() {
  static Library* library = new Library();
  return *library;
}

std::atomic<void (*)()> g_stopAllListeners{nullptr};
std::atomic<HMODULE> g_resourceModule{nullptr};

}  // namespace

ScopedLibraryLock::ScopedLibraryLock() { TheLibrary().lock.Lock(); }

ScopedLibraryLock::~ScopedLibraryLock() { TheLibrary().lock.Unlock(); }

LibraryState& ScopedLibraryLock::State() const { return TheLibrary().state; }

void SetListenerStopHook(void (*stopAllListeners)()) { g_stopAllListeners.store(stopAllListeners); }

HMODULE GlobalResourceModule() { return g_resourceModule.load(); }

std::int32_t Init() {
  TheLibrary();
  return 0;
}

std::int32_t Uninit() {
  // Outside the lock: stopping a listener takes the lock itself.
  if (void (*stopAll)() = g_stopAllListeners.load()) stopAll();
  CloseAllDeviceMutex();
  return 0;
}

HMODULE SetGlobalHandle(HMODULE module) {
  g_resourceModule.store(module);
  return module;
}
