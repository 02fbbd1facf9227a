#include <cinttypes>
#include <cstdio>

#include "platform/win32/Win32.h"
#include "platform/win32/src/WindowRegistry.h"

BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  if (message == nullptr || window != nullptr || filterMin != 0 || filterMax != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  std::shared_ptr<win32::WindowQueue> queue = win32::ThreadQueue(false);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return -1;
  }
  for (;;) {
    if (!queue->Take(message)) return -1;
    std::optional<win32::WindowRecord> record = win32::FindWindowRecord(message->hwnd);
    if (record && record->queue == queue) break;
    // Only a stale or forged datagram names a window this thread does not have.
    std::fprintf(stderr, "win32: dropped message 0x%x for window %016" PRIxPTR
                 ", which is not one of this thread's\n",
                 message->message, reinterpret_cast<std::uintptr_t>(message->hwnd));
  }
  return message->message == WM_QUIT ? 0 : TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* message) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<win32::WindowRecord> record = win32::FindWindowRecord(message->hwnd);
  if (!record) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return record->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT DefWindowProcW(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_QUERYENDSESSION ? TRUE : 0;
}
