#include "platform/win32/Win32.h"
#include "platform/win32/internal/KernelObject.h"

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto* object = win32::ObjectFromHandle<win32::WaitableObject>(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->Wait(milliseconds);
}
