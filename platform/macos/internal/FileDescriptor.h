// A file descriptor closed when its holder goes.
#pragma once

#include <unistd.h>

namespace macstandin {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace macstandin
