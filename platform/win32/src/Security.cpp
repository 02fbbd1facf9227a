#include "platform/win32/Win32.h"

namespace {

// Null when the descriptor is missing or of an unknown revision; the last error says which.
SECURITY_DESCRIPTOR* CheckedDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  if (descriptor == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (revision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return nullptr;
  }
  return static_cast<SECURITY_DESCRIPTOR*>(descriptor);
}

}  // namespace

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  SECURITY_DESCRIPTOR* sd = CheckedDescriptor(descriptor, revision);
  if (sd == nullptr) return FALSE;
  *sd = SECURITY_DESCRIPTOR{};
  sd->Revision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL daclPresent, PACL dacl,
                               BOOL daclDefaulted) {
  SECURITY_DESCRIPTOR* sd = CheckedDescriptor(
      descriptor, descriptor ? static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision : 0);
  if (sd == nullptr) return FALSE;
  sd->Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
  sd->Dacl = nullptr;
  if (daclPresent) {
    sd->Control |= SE_DACL_PRESENT;
    if (daclDefaulted) sd->Control |= SE_DACL_DEFAULTED;
    sd->Dacl = dacl;
  }
  return TRUE;
}

namespace win32 {

DWORD ReadSecurityAttributes(const SECURITY_ATTRIBUTES* attributes, bool* everyoneFullAccess) {
  *everyoneFullAccess = false;
  if (attributes == nullptr || attributes->lpSecurityDescriptor == nullptr) return ERROR_SUCCESS;
  const auto* sd = static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor);
  if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return ERROR_INVALID_SECURITY_DESCR;
  *everyoneFullAccess = (sd->Control & SE_DACL_PRESENT) != 0 && sd->Dacl == nullptr;
  return ERROR_SUCCESS;
}

}  // namespace win32
