#include "agent-windows/Folders.h"

#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolder(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    LogInfo(L"Folder created successfully: %s", path.c_str());
    return true;
  }
  LogError(L"Failed to create folder: %s", path.c_str());
  return false;
}

bool GetCommonAppDataFolder(std::wstring* folder) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    return false;
  path[MAX_PATH - 1] = L'\0';
  *folder = path;
  return true;
}

std::wstring MakeFolderPath(const std::wstring& base, std::initializer_list<const wchar_t*> levels) {
  std::wstring path = base;
  for (const wchar_t* level : levels) {
    path += L"\\";
    path += level;
    if (!DirectoryExists(path)) CreateFolder(path);
  }
  return path;
}
