// Where a named mutex lives on this machine: one file per name, "Global\" names in
// <root>/Global, "Local\" and bare names in <root>/Session<id>.
#pragma once

#include <string>

#include "platform/win32/api/Types.h"

namespace win32 {

struct MutexFile {
  std::string root;       // the namespace root (TARVIK_KERNEL_OBJECTS)
  std::string directory;  // the name's namespace folder under the root
  std::string path;       // the file backing the name
};

// ERROR_SUCCESS and the file for a valid name, else the error Windows gives for the name.
DWORD MutexFileForName(LPCWSTR name, MutexFile* file);

}  // namespace win32
