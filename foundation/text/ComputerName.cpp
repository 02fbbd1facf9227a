#include "foundation/text/ComputerName.h"

#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

std::string GetComputerNameString() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) {
    LogError(L"Failed to get computer name. Error: %d", static_cast<int>(GetLastError()));
    return {};
  }
  return std::string(name, size);
}
