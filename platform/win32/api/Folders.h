// Known folders. They live on drive C:, whose root is the folder named by TARVIK_C_DRIVE.
#pragma once

#include "platform/win32/api/Types.h"

#define CSIDL_COMMON_APPDATA 0x0023
#define SHGFP_TYPE_CURRENT 0

HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
