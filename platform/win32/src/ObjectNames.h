// Where named kernel objects live on this machine: files under one folder, one file per name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace win32 {

// TARVIK_KERNEL_OBJECTS, default /dev/shm/tarvik-objects, without a trailing '/'.
std::string KernelObjectsRoot();

// The file name that stands for an object name. Letters, digits, '-' and '_' stand as they are
// (names are case-sensitive, like the files); every other character becomes %XX, %uXXXX or
// %UXXXXXXXX by its code. An escaped name longer than maxLength keeps a readable start and is
// told apart by a hash of the whole name.
std::string ObjectFileName(std::wstring_view name, std::size_t maxLength);

}  // namespace win32
