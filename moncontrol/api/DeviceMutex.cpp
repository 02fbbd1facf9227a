#include "moncontrol/api/DeviceMutex.h"

#include "foundation/log/Log.h"
#include "moncontrol/api/LibraryState.h"

HANDLE CreateDeviceMutex(const wchar_t* name) {
  // A null DACL: the mutex is shared with processes of other accounts in the session.
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
    LogError(L"CreateDeviceMutex cannot build the security descriptor for %s: %lu", name, GetLastError());
    return nullptr;
  }
  SECURITY_ATTRIBUTES attributes{static_cast<DWORD>(sizeof(attributes)), &descriptor, FALSE};

  HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
  if (mutex == nullptr) mutex = CreateMutexW(&attributes, FALSE, name);
  if (mutex == nullptr) LogError(L"CreateDeviceMutex cannot open or create %s: %lu", name, GetLastError());
  return mutex;
}

void CloseAllDeviceMutex() {
  WithLibraryState([](LibraryState& state) {
    for (auto& [key, mutex] : state.mutexes)
      if (mutex != nullptr) CloseHandle(mutex);
    state.mutexes.clear();
    state.listeners.clear();
  });
}
