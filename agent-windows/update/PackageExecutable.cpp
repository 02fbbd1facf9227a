#include "agent-windows/update/PackageExecutable.h"

#include "agent-windows/update/FolderEntries.h"
#include "agent-windows/update/Unzip.h"
#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

namespace {

std::wstring ExecutableInZip(const std::wstring& path, const std::wstring& folder) {
  if (!UnzipPackage(path, folder)) {
    LogError(L"GetExePathByZip Method is unzip fail.");
    return path;
  }
  std::wstring exe;
  if (!FindFirstExe(folder, exe)) {
    LogError(L"unfind exe file in zip file.");
    return path;
  }
  return exe;
}

// The download's ".tmp" becomes an ".exe" beside it. When the rename fails the download keeps
// its name: an ".exe" already there (an earlier installer, or one planted) was never verified.
std::wstring RenameToExe(const std::wstring& path, std::wstring::size_type dot) {
  LogError(L"exename == tmp");
  const std::wstring exe = path.substr(0, dot + 1) + L"exe";
  LogError(L"%s", exe.c_str());
  if (!MoveFileW(path.c_str(), exe.c_str())) {
    LogError(L"MoveFile failed ( %d ).", static_cast<int>(GetLastError()));
    return path;
  }
  return exe;
}

}  // namespace

std::wstring GetExePathByZip(const std::wstring& path, const std::wstring& folder) {
  const std::wstring::size_type dot = path.rfind(L'.');
  if (dot == std::wstring::npos) return path;
  const std::wstring extension = path.substr(dot + 1);
  if (extension == L"exe") return path;
  if (extension == L"zip") return ExecutableInZip(path, folder);
  if (extension == L"tmp") return RenameToExe(path, dot);
  LogError(L"GetExePathByZip Method is not support  %s", extension.c_str());
  return path;
}

bool FindFirstExe(const std::wstring& folder, std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW((folder + L"\\*.exe").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    // A folder named like an executable cannot be started.
    if (!IsDotEntry(entry) && !IsFolderEntry(entry)) {
      path = folder + entry.cFileName;
      found = true;
    }
  } while (!found && FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}
