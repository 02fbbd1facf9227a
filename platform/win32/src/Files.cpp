#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/FileSystem.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

DWORD GetFileAttributesW(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string native = win32::NativeFilePath(path);
  struct stat info {};
  if (stat(native.c_str(), &info) != 0) {
    SetLastError(win32::FileError(native, errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return win32::FileAttributes(info);
}

BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data) {
  if (path == nullptr || data == nullptr || level != GetFileExInfoStandard)
    return Fail(ERROR_INVALID_PARAMETER);
  std::string native = win32::NativeFilePath(path);
  struct stat info {};
  if (stat(native.c_str(), &info) != 0) return Fail(win32::FileError(native, errno));
  *static_cast<LPWIN32_FILE_ATTRIBUTE_DATA>(data) = win32::AttributeData(info);
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string native = win32::WithoutTrailingSeparators(win32::NativeFilePath(path));
  if (mkdir(native.c_str(), 0755) != 0)
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : win32::FileError(native, errno));
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string native = win32::WithoutTrailingSeparators(win32::NativeFilePath(path));
  struct stat info {};
  if (stat(native.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) return Fail(ERROR_DIRECTORY);
  // Linux reports a folder that is not empty as either.
  if (rmdir(native.c_str()) != 0)
    return Fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : win32::FileError(native, errno));
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string native = win32::NativeFilePath(path);
  struct stat info {};
  if (stat(native.c_str(), &info) != 0) return Fail(win32::FileError(native, errno));
  // Linux would unlink a read-only file; Windows refuses.
  if (S_ISDIR(info.st_mode) || (win32::FileAttributes(info) & FILE_ATTRIBUTE_READONLY) != 0)
    return Fail(ERROR_ACCESS_DENIED);
  if (unlink(native.c_str()) != 0) return Fail(win32::FileError(native, errno));
  return TRUE;
}

BOOL MoveFileW(LPCWSTR existingPath, LPCWSTR newPath) {
  if (existingPath == nullptr || newPath == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string from = win32::WithoutTrailingSeparators(win32::NativeFilePath(existingPath));
  std::string to = win32::WithoutTrailingSeparators(win32::NativeFilePath(newPath));
  struct stat info {};
  if (lstat(from.c_str(), &info) != 0) return Fail(win32::FileError(from, errno));
  // Refusing an existing target in the same step leaves no window for another mover.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return TRUE;
  // The source was there, so a missing entry is the target's folder.
  if (errno == ENOENT) return Fail(ERROR_PATH_NOT_FOUND);
  if (errno == EXDEV) return Fail(ERROR_NOT_SAME_DEVICE);
  return Fail(win32::FileError(to, errno));
}

BOOL PathFileExistsW(LPCWSTR path) {
  if (path == nullptr) return FALSE;
  struct stat info {};
  if (stat(win32::NativeFilePath(path).c_str(), &info) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}
