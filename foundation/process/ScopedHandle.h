// Closes a kernel handle when it leaves scope, so every way out of a routine closes it.
#pragma once

#include "platform/win32/Win32.h"

class ScopedHandle {
 public:
  ScopedHandle() = default;
  ~ScopedHandle() {
    if (m_handle != nullptr) CloseHandle(m_handle);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE* Receive() { return &m_handle; }
  HANDLE Get() const { return m_handle; }

 private:
  HANDLE m_handle = nullptr;
};
