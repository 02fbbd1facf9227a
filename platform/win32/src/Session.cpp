#include <cstdlib>
#include <cstring>

#include "platform/win32/Win32.h"

DWORD WTSGetActiveConsoleSessionId() {
  const char* none = std::getenv("TARVIK_WIN32_NO_CONSOLE_SESSION");
  return (none != nullptr && std::strcmp(none, "1") == 0) ? 0xFFFFFFFF : 1;
}
