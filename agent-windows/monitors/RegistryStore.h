// The registry's storage and its one lock, shared by the operations of this folder only.
#pragma once

#include <map>
#include <string>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "foundation/sync/CCriticalSectionEx.h"
#include "moncontrol/hid/HidApi.h"

struct RegistryStore {
  CCriticalSectionEx lock;  // recursive for its owner
  MonitorRegistry mapMonitorCtrl;
  // The handle the agent uses per serial; null when the last open failed.
  std::map<std::string, mchid::hid_device*> mapMonitorHandle;
};

// Never destroyed: listener and worker threads may still use it while the process exits.
RegistryStore& TheRegistryStore();

// Holds the registry lock for its scope, or until Release.
class RegistryLock {
 public:
  RegistryLock() : m_store(TheRegistryStore()) { m_store.lock.Lock(); }
  ~RegistryLock() { Release(); }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;

  RegistryStore& Store() { return m_store; }
  void Release() {
    if (m_held) m_store.lock.Unlock();
    m_held = false;
  }

 private:
  RegistryStore& m_store;
  bool m_held = true;
};

// Handles taken out of the cache, closed when this goes, on every way out. Declared before the
// RegistryLock, it closes them after the lock is released.
class DroppedHandles {
 public:
  DroppedHandles() = default;
  ~DroppedHandles();
  DroppedHandles(const DroppedHandles&) = delete;
  DroppedHandles& operator=(const DroppedHandles&) = delete;

  // Empties the cache; the caller holds the lock.
  void TakeAll(RegistryStore& store);

 private:
  std::map<std::string, mchid::hid_device*> m_handles;
};
