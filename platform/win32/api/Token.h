// Access tokens: a process's token, duplicated and moved to another session to start a
// program there.
#pragma once

#include "platform/win32/api/Types.h"

// Defined with the security descriptors (Security.h); the calls here only pass it on.
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// SetTokenInformation with an information length that does not fit its class.
#define ERROR_BAD_LENGTH 24L

#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000L
#endif
#define MAXIMUM_ALLOWED 0x02000000L

#define TOKEN_ASSIGN_PRIMARY 0x0001
#define TOKEN_DUPLICATE 0x0002
#define TOKEN_IMPERSONATE 0x0004
#define TOKEN_QUERY 0x0008
#define TOKEN_QUERY_SOURCE 0x0010
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_ADJUST_GROUPS 0x0040
#define TOKEN_ADJUST_DEFAULT 0x0080
#define TOKEN_ADJUST_SESSIONID 0x0100

typedef enum _SECURITY_IMPERSONATION_LEVEL {
  SecurityAnonymous,
  SecurityIdentification,
  SecurityImpersonation,
  SecurityDelegation
} SECURITY_IMPERSONATION_LEVEL;

typedef enum _TOKEN_TYPE { TokenPrimary = 1, TokenImpersonation } TOKEN_TYPE;

// Only the session id can be set here; other classes fail with ERROR_INVALID_PARAMETER.
typedef enum _TOKEN_INFORMATION_CLASS { TokenUser = 1, TokenSessionId = 12 } TOKEN_INFORMATION_CLASS;

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);
BOOL DuplicateTokenEx(HANDLE existingToken, DWORD desiredAccess, LPSECURITY_ATTRIBUTES attributes,
                      SECURITY_IMPERSONATION_LEVEL level, TOKEN_TYPE type, HANDLE* newToken);
BOOL SetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                         DWORD length);
