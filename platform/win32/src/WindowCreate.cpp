#include "platform/win32/Win32.h"
#include "platform/win32/internal/Fault.h"
#include "platform/win32/src/WindowClasses.h"
#include "platform/win32/src/WindowFolder.h"
#include "platform/win32/src/WindowRegistry.h"

HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR, DWORD style, int, int, int, int,
                     HWND parent, HMENU, HINSTANCE, LPVOID) {
  if (win32::InjectedFailure("CreateWindowExW")) return nullptr;
  if (parent != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  WNDPROC procedure = win32::ClassProcedure(className);
  if (procedure == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  std::shared_ptr<win32::WindowQueue> queue = win32::ThreadQueue(true);
  if (!queue) return nullptr;
  HWND window = win32::NewWindowHandle();
  // Known here before other processes can reach it.
  win32::AddWindowRecord(window, {procedure, queue, (style & WS_VISIBLE) != 0});
  DWORD error = win32::AddWindowEntry(queue->Folder(), window, queue->SocketName());
  if (error != ERROR_SUCCESS) {
    win32::RemoveWindowRecord(window);
    SetLastError(error);
    return nullptr;
  }
  return window;
}

BOOL ShowWindow(HWND window, int showCommand) {
  std::optional<bool> wasVisible = win32::SetWindowVisible(window, showCommand != SW_HIDE);
  if (!wasVisible) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return *wasVisible ? TRUE : FALSE;
}
