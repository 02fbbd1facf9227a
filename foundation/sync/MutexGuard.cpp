#include "foundation/sync/MutexGuard.h"

#include "foundation/log/Log.h"

MutexGuard::MutexGuard(const wchar_t* name, std::uint32_t timeoutMs)
    : m_pszName(name != nullptr ? name : L"(null)") {
  LogInfo(L"MutexGuard:Start OpenMutex %s", m_pszName);
  m_hMutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
  if (m_hMutex == nullptr) return;

  DWORD result = WaitForSingleObject(m_hMutex, timeoutMs);
  if (result == WAIT_OBJECT_0) {
    LogInfo(L"MutexGuard:OpenMutex %s  Result Success.", m_pszName);
    m_nState = kOwned;
    return;
  }
  if (result == WAIT_TIMEOUT) {
    LogWarn(L"MutexGuard:OpenMutex %s  Result Timeout.", m_pszName);
    m_nState = kTimedOut;
  } else {
    LogError(L"MutexGuard:OpenMutex %s  Result Unknow Error.", m_pszName);
  }
  // Not ours after a time-out (the release then does nothing); an abandoned mutex that the
  // wait handed over goes back at once.
  ReleaseMutex(m_hMutex);
  CloseHandle(m_hMutex);
  m_hMutex = nullptr;
}

MutexGuard::~MutexGuard() { Release(); }

void MutexGuard::Release() {
  LogInfo(L"MutexGuard:Start ReleaseMutex %s.", m_pszName);
  if (m_hMutex != nullptr) {
    if (m_nState == kOwned) {
      LogInfo(L"MutexGuard:ReleaseMutex %s  Result Success.", m_pszName);
      ReleaseMutex(m_hMutex);
      m_nState = kNotAcquired;
    }
    LogInfo(L"MutexGuard:Close Mutex %s  Result Success.", m_pszName);
    CloseHandle(m_hMutex);
  }
  m_hMutex = nullptr;
}
