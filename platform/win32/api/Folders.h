// Known folders and the console user's token that picks out that user's folders. They live
// on drive C:, whose root is the folder named by TARVIK_C_DRIVE.
//
// The console user is named by TARVIK_WIN32_CONSOLE_USER (default "User"); only a service
// process (local system) may take its token, and only while somebody is at the console.
#pragma once

#include "platform/win32/api/Types.h"

#define CSIDL_COMMON_APPDATA 0x0023
#define SHGFP_TYPE_CURRENT 0

#define ERROR_NO_TOKEN 1008L
#define ERROR_PRIVILEGE_NOT_HELD 1314L
#ifndef E_INVALIDARG
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057))
#endif

using PWSTR = wchar_t*;
using PHANDLE = HANDLE*;
using KNOWNFOLDERID = GUID;
using REFKNOWNFOLDERID = const KNOWNFOLDERID&;

// {F1B32785-6FBA-4FCF-9D55-7B8E7F157091}: C:\Users\<name>\AppData\Local
extern const KNOWNFOLDERID FOLDERID_LocalAppData;

HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
// The path is the token's user's (null: the caller's); free it with CoTaskMemFree.
HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID folderId, DWORD flags, HANDLE token, PWSTR* path);
void CoTaskMemFree(LPVOID memory);

BOOL WTSQueryUserToken(ULONG sessionId, PHANDLE token);
// Until RevertToSelf, the calling thread acts as the token's user.
BOOL ImpersonateLoggedOnUser(HANDLE token);
BOOL RevertToSelf();
