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

// Takes every cached handle out of the cache; the caller closes them outside the lock.
std::map<std::string, mchid::hid_device*> TakeMonitorHandles(RegistryStore& store);
// Closes the handles that TakeMonitorHandles gave.
void CloseMonitorHandles(const std::map<std::string, mchid::hid_device*>& handles);
