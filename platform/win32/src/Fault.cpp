#include <cstdlib>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Fault.h"

namespace win32 {

bool InjectedFailure(const char* function) {
  const char* list = std::getenv("TARVIK_WIN32_FAIL");
  if (list == nullptr) return false;
  std::string names = std::string(",") + list + ",";
  if (names.find(std::string(",") + function + ",") == std::string::npos) return false;
  SetLastError(ERROR_ACCESS_DENIED);
  return true;
}

}  // namespace win32
