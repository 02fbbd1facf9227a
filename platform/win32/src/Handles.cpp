#include "platform/win32/Win32.h"
#include "platform/win32/internal/KernelObject.h"

BOOL CloseHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete static_cast<win32::KernelObject*>(handle);
  return TRUE;
}
