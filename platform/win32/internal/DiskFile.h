// Files on disk that CreateFileW opens (its other files are pipes).
#pragma once

#include "platform/win32/api/Types.h"
#include "platform/win32/internal/KernelObject.h"

namespace win32 {

class DiskFile : public KernelObject {
 public:
  explicit DiskFile(int fd) : m_fd(fd) {}
  ~DiskFile() override;
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  int Descriptor() const { return m_fd; }

 private:
  const int m_fd;
};

// GENERIC_WRITE with CREATE_ALWAYS: the file made, or emptied with ERROR_ALREADY_EXISTS as the
// last error. Other access or dispositions are ERROR_INVALID_PARAMETER; sharing is not enforced.
HANDLE CreateDiskFile(LPCWSTR path, DWORD desiredAccess, DWORD creationDisposition);

}  // namespace win32
