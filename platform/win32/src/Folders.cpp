#include <cwchar>

#include "platform/win32/Win32.h"

HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (path == nullptr) return E_FAIL;
  if (folder != CSIDL_COMMON_APPDATA) return E_FAIL;
  std::wcsncpy(path, L"C:\\ProgramData", MAX_PATH);
  return S_OK;
}
