#include "agent-windows/update/DeleteFolder.h"

#include "agent-windows/update/FolderEntries.h"
#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

namespace {

void LogDeleteError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      LogError(L"file not find.");
      break;
    case ERROR_ACCESS_DENIED:
      LogError(L"Access denied. Insufficient permissions.");
      break;
    case ERROR_SHARING_VIOLATION:
      LogError(L"The process cannot access the file because it is being used by another process.");
      break;
    default:
      LogError(L"other error code: %d", static_cast<int>(error));
      break;
  }
}

}  // namespace

bool DeleteFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (IsDotEntry(entry)) continue;
    const std::wstring path = folder + L"\\" + entry.cFileName;
    if (IsFolderEntry(entry))
      DeleteFolder(path);
    else if (!DeleteFileW(path.c_str()))
      LogDeleteError(GetLastError());
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return RemoveDirectoryW(folder.c_str()) != FALSE;
}
