#include "platform/win32/api/Thread.h"

#include "platform/win32/api/Errors.h"

namespace {

HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

bool IsKnownPriority(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
      return true;
    default:
      return false;
  }
}

}  // namespace

HANDLE GetCurrentThread() { return kCurrentThread; }

BOOL SetThreadPriority(HANDLE thread, int priority) {
  if (thread != kCurrentThread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!IsKnownPriority(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
