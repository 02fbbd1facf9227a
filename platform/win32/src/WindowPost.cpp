#include <time.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/TopLevelWindows.h"
#include "platform/win32/src/WindowFolder.h"
#include "platform/win32/src/WindowRegistry.h"

namespace win32 {

namespace {

// Milliseconds since the machine started, as every process reads them.
DWORD MessageTime() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                            static_cast<std::uint64_t>(now.tv_nsec) / 1000000);
}

DWORD PostToWindow(const std::string& folder, HWND window, UINT message, WPARAM wParam,
                   LPARAM lParam) {
  DWORD time = MessageTime();
  if (std::optional<WindowRecord> record = FindWindowRecord(window)) {
    record->queue->Push(MSG{window, message, wParam, lParam, time, {}});
    return ERROR_SUCCESS;
  }
  if (window == nullptr) return ERROR_INVALID_WINDOW_HANDLE;
  return SendToWindow(folder, PostedMessage{reinterpret_cast<std::uintptr_t>(window), message,
                                            time, wParam, static_cast<std::uint64_t>(lParam)});
}

}  // namespace

std::size_t PostToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam) {
  std::string folder = WindowFolder();
  std::size_t reached = 0;
  for (HWND window : TopLevelWindows(folder))
    if (PostToWindow(folder, window, message, wParam, lParam) == ERROR_SUCCESS) ++reached;
  return reached;
}

}  // namespace win32

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    win32::PostToTopLevelWindows(message, wParam, lParam);
    return TRUE;
  }
  DWORD error = win32::PostToWindow(win32::WindowFolder(), window, message, wParam, lParam);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
