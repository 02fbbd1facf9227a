// Security attributes and descriptors, as far as kernel objects use them. The stand-in keeps no
// access lists: a descriptor either carries a null DACL (everyone has full access) or it does
// not (the creator's default access).
#pragma once

#include "platform/win32/api/Types.h"

#define SECURITY_DESCRIPTOR_REVISION 1
#define SE_DACL_PRESENT 0x0004
#define SE_DACL_DEFAULTED 0x0008

#define ERROR_UNKNOWN_REVISION 1305L
#define ERROR_INVALID_SECURITY_DESCR 1338L

using PSID = PVOID;
using SECURITY_DESCRIPTOR_CONTROL = WORD;

struct ACL {
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
};
using PACL = ACL*;

struct SECURITY_DESCRIPTOR {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  PSID Owner;
  PSID Group;
  PACL Sacl;
  PACL Dacl;
};
using PSECURITY_DESCRIPTOR = PVOID;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using PSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL daclPresent, PACL dacl,
                               BOOL daclDefaulted);

namespace win32 {

// The stand-in's reading of the attributes a kernel object is created with: ERROR_SUCCESS and
// whether everyone gets full access (a present, null DACL), or the error for a bad descriptor.
// Null attributes or a null descriptor mean default access.
DWORD ReadSecurityAttributes(const SECURITY_ATTRIBUTES* attributes, bool* everyoneFullAccess);

}  // namespace win32
