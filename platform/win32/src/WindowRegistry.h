// The windows of this process and the queues of its window threads. A window lives as long as
// the thread that made it.
#pragma once

#include <memory>
#include <optional>

#include "platform/win32/api/Types.h"
#include "platform/win32/api/Window.h"
#include "platform/win32/src/WindowQueue.h"

namespace win32 {

struct WindowRecord {
  WNDPROC procedure = nullptr;
  std::shared_ptr<WindowQueue> queue;  // its thread's
  bool visible = false;
};

// The calling thread's queue, made on first use when asked to; null when it has none (or could
// not make one: last error set). The queue and the thread's windows end with the thread.
std::shared_ptr<WindowQueue> ThreadQueue(bool create);

// A handle no other window of the machine has: the process id and a counter.
HWND NewWindowHandle();

void AddWindowRecord(HWND window, WindowRecord record);
void RemoveWindowRecord(HWND window);
std::optional<WindowRecord> FindWindowRecord(HWND window);
// The visibility it had, or nothing for a window this process does not have.
std::optional<bool> SetWindowVisible(HWND window, bool visible);

}  // namespace win32
