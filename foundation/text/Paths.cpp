#include "foundation/text/Paths.h"

#include "platform/win32/Win32.h"

std::wstring GetExeDirectory() {
  WCHAR path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(GetCurrentProcess(), 0, path, &size)) return {};
  std::wstring full(path, size);
  std::size_t backslash = full.rfind(L'\\');
  if (backslash == std::wstring::npos) return {};
  return full.substr(0, backslash + 1);
}

void AppendBackslash(std::wstring& path) {
  if (!path.empty() && path.back() != L'\\') path.push_back(L'\\');
}

bool IsFileExist(const wchar_t* path) {
  if (!PathFileExistsW(path)) return false;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(path, &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
