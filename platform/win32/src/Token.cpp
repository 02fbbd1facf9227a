#include <cstring>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Fault.h"
#include "platform/win32/internal/Spawn.h"
#include "platform/win32/internal/Token.h"

namespace {

DWORD GrantedAccess(DWORD desired) { return (desired & MAXIMUM_ALLOWED) ? 0xFFFFFFFF : desired; }

}  // namespace

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
  if (token == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (win32::InjectedFailure("OpenProcessToken")) return FALSE;
  DWORD session;
  if (process == GetCurrentProcess()) {
    session = win32::CurrentSessionId();
  } else if (auto* object = win32::ObjectFromHandle<win32::ProcessObject>(process)) {
    session = object->Process().SessionId();
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *token = win32::HandleFromObject(
      new win32::TokenObject(session, GrantedAccess(desiredAccess), true));
  return TRUE;
}

BOOL DuplicateTokenEx(HANDLE existingToken, DWORD desiredAccess, LPSECURITY_ATTRIBUTES,
                      SECURITY_IMPERSONATION_LEVEL, TOKEN_TYPE type, HANDLE* newToken) {
  auto* source = win32::ObjectFromHandle<win32::TokenObject>(existingToken);
  if (source == nullptr || newToken == nullptr) {
    SetLastError(source == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (win32::InjectedFailure("DuplicateTokenEx")) return FALSE;
  if (!source->Allows(TOKEN_DUPLICATE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  *newToken = win32::HandleFromObject(new win32::TokenObject(
      source->SessionId(), GrantedAccess(desiredAccess), type == TokenPrimary));
  return TRUE;
}

BOOL SetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                         DWORD length) {
  auto* object = win32::ObjectFromHandle<win32::TokenObject>(token);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (win32::InjectedFailure("SetTokenInformation")) return FALSE;
  if (infoClass != TokenSessionId || info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (length != sizeof(DWORD)) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  if (!object->Allows(TOKEN_ADJUST_SESSIONID)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  DWORD session;
  std::memcpy(&session, info, sizeof session);
  object->SetSessionId(session);
  return TRUE;
}
