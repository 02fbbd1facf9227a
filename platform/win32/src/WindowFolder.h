// The machine's window folder, <kernel objects root>/Windows, through which any process posts to
// any top-level window: a datagram socket per window thread ("queue-<pid>-<tid>-<stamp>") and,
// per top-level window, a symbolic link to its thread's socket ("window-<HWND in hex>").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/api/Types.h"

namespace win32 {

// One posted message as it travels between processes.
struct PostedMessage {
  std::uint64_t window;
  std::uint32_t message;
  std::uint32_t time;
  std::uint64_t wParam;
  std::uint64_t lParam;
};
static_assert(sizeof(PostedMessage) == 32);

// The folder under the current kernel-objects root.
std::string WindowFolder();

// A non-blocking datagram socket bound at folder/name, the folder made when missing; -1 with
// errno set.
int BindQueueSocket(const std::string& folder, const std::string& name);
void RemoveQueueSocket(const std::string& folder, const std::string& name);

// Makes the window reachable through the socket of its thread: ERROR_SUCCESS or the error.
DWORD AddWindowEntry(const std::string& folder, HWND window, const std::string& queueName);
void RemoveWindowEntry(const std::string& folder, HWND window);

// ERROR_SUCCESS once queued; ERROR_INVALID_WINDOW_HANDLE when there is no such window (the entry
// of a window whose process has gone is removed, with its socket); ERROR_NOT_ENOUGH_QUOTA when
// the window's thread left its queue full for a while.
DWORD SendToWindow(const std::string& folder, const PostedMessage& message);

// The top-level windows of the machine, dead or alive.
std::vector<HWND> TopLevelWindows(const std::string& folder);

}  // namespace win32
