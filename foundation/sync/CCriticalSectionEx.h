// A process-local critical section, recursive for its owning thread.
#pragma once

#include "platform/win32/Win32.h"

class CCriticalSectionEx {
 public:
  CCriticalSectionEx();
  virtual ~CCriticalSectionEx();

  CCriticalSectionEx(const CCriticalSectionEx&) = delete;
  CCriticalSectionEx& operator=(const CCriticalSectionEx&) = delete;

  void Lock();
  void Unlock();

 private:
  CRITICAL_SECTION m_cs;
};
