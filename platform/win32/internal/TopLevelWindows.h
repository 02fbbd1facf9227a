// Posting to every top-level window of the machine, as PostMessageW(HWND_BROADCAST, ...) does,
// for the programs that stand for the system's event sources.
#pragma once

#include <cstddef>

#include "platform/win32/api/Window.h"

namespace win32 {

// How many windows got the message. Windows whose process has gone are skipped and forgotten.
std::size_t PostToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32
