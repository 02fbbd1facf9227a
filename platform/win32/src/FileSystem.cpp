#include "platform/win32/internal/FileSystem.h"

#include <cerrno>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace win32 {
namespace {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOTDIR:
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBUSY:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

// Seconds since 1970 as 100-ns intervals since 1601.
FILETIME ToFileTime(time_t seconds) {
  ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool IsFolder(const std::string& nativePath) {
  struct stat info {};
  return stat(nativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string NativeFilePath(LPCWSTR windowsPath) { return WindowsToNativePath(std::wstring(windowsPath)); }

std::string WithoutTrailingSeparators(std::string nativePath) {
  while (nativePath.size() > 1 && nativePath.back() == '/') nativePath.pop_back();
  return nativePath;
}

DWORD FileError(const std::string& nativePath, int error) {
  if (error != ENOENT) return ErrorFromErrno(error);
  std::string path = WithoutTrailingSeparators(nativePath);
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  return IsFolder(path.substr(0, slash)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD FileAttributes(const struct stat& info) {
  DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

WIN32_FILE_ATTRIBUTE_DATA AttributeData(const struct stat& info) {
  auto size = static_cast<ULONGLONG>(info.st_size);
  return WIN32_FILE_ATTRIBUTE_DATA{FileAttributes(info),
                                   ToFileTime(info.st_ctime),
                                   ToFileTime(info.st_atime),
                                   ToFileTime(info.st_mtime),
                                   static_cast<DWORD>(size >> 32),
                                   static_cast<DWORD>(size)};
}

}  // namespace win32
