#include "agent-windows/GlobalMutex.h"

HANDLE CreateGlobalMutex(const wchar_t* name) {
  if (HANDLE existing = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name)) return existing;
  // A null access list: services and users of every session may open and wait on it.
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
    return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  return CreateMutexW(&attributes, FALSE, name);
}
