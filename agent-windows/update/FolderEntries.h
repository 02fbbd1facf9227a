// What a folder search returns, told apart.
#pragma once

#include <string>

#include "platform/win32/Win32.h"

// "." or "..", which a search of a folder returns besides its entries.
inline bool IsDotEntry(const WIN32_FIND_DATAW& entry) {
  const std::wstring name = entry.cFileName;
  return name == L"." || name == L"..";
}

inline bool IsFolderEntry(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
