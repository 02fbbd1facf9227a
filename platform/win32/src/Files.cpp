#include <cerrno>
#include <cstring>
#include <cwchar>
#include <string>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/KernelObject.h"

namespace {

// A search handle; the entry found was handed out when it was made.
class FindObject : public win32::KernelObject {};

std::string Native(LPCWSTR path) { return win32::WindowsToNativePath(std::wstring(path)); }

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

// Windows tells a missing last component from a missing folder on the way.
DWORD MissingError(const std::string& native) {
  size_t slash = native.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  struct stat parent {};
  bool folder = stat(native.substr(0, slash).c_str(), &parent) == 0 && S_ISDIR(parent.st_mode);
  return folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD Attributes(const struct stat& info) {
  DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

// Seconds since 1970 to 100-ns intervals since 1601.
FILETIME ToFileTime(time_t seconds) {
  ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void Fill(const struct stat& info, const std::string& name, LPWIN32_FIND_DATAW data) {
  *data = WIN32_FIND_DATAW{};
  data->dwFileAttributes = Attributes(info);
  data->ftCreationTime = ToFileTime(info.st_ctime);
  data->ftLastAccessTime = ToFileTime(info.st_atime);
  data->ftLastWriteTime = ToFileTime(info.st_mtime);
  auto size = static_cast<ULONGLONG>(info.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  std::wstring wide = win32::Utf8ToWide(name);
  std::wcsncpy(data->cFileName, wide.c_str(), MAX_PATH - 1);
}

// The first entry of the folder whose name matches the pattern, or "".
std::string FirstMatch(const std::string& folder, const std::string& pattern) {
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (fnmatch(pattern.c_str(), entry->d_name, FNM_PERIOD) == 0) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

DWORD GetFileAttributesW(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string native = Native(path);
  struct stat info {};
  if (stat(native.c_str(), &info) != 0) {
    SetLastError(errno == ENOENT ? MissingError(native) : ErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return Attributes(info);
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string native = Native(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (mkdir(native.c_str(), 0755) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string native = Native(path);
  if (unlink(native.c_str()) != 0) {
    SetLastError(errno == ENOENT ? MissingError(native) : ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL PathFileExistsW(LPCWSTR path) {
  if (path == nullptr) return FALSE;
  struct stat info {};
  if (stat(Native(path).c_str(), &info) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

HANDLE FindFirstFileW(LPCWSTR path, LPWIN32_FIND_DATAW data) {
  if (path == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string native = Native(path);
  size_t slash = native.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : native.substr(0, slash);
  std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  // A path ending in a separator names no entry.
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (name.find_first_of("*?") != std::string::npos) name = FirstMatch(folder, name);
  struct stat info {};
  std::string entry = folder + "/" + name;
  if (name.empty() || stat(entry.c_str(), &info) != 0) {
    SetLastError(MissingError(entry));
    return INVALID_HANDLE_VALUE;
  }
  Fill(info, name, data);
  return win32::HandleFromObject(new FindObject());
}

BOOL FindClose(HANDLE find) {
  auto* object = win32::ObjectFromHandle<FindObject>(find);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete object;
  return TRUE;
}
