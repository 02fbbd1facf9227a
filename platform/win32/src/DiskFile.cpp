#include "platform/win32/internal/DiskFile.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/FileSystem.h"

namespace win32 {

DiskFile::~DiskFile() { close(m_fd); }

HANDLE CreateDiskFile(LPCWSTR path, DWORD desiredAccess, DWORD creationDisposition) {
  if (desiredAccess != GENERIC_WRITE || creationDisposition != CREATE_ALWAYS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string native = NativeFilePath(path);
  bool existed = access(native.c_str(), F_OK) == 0;
  int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(FileError(native, errno));
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return HandleFromObject(new DiskFile(fd));
}

}  // namespace win32
