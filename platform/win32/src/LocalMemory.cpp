#include <cstdlib>

#include "platform/win32/Win32.h"

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  // Never a null pointer for a successful zero-byte request, as on Windows.
  void* memory = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(bytes == 0 ? 1 : bytes, 1)
                                              : std::malloc(bytes == 0 ? 1 : bytes);
  if (memory == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
