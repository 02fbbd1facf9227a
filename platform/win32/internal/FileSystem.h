// What the file stand-ins share: Windows paths to native ones, and stat results and errno values
// in Windows terms.
#pragma once

#include <string>

#include <sys/stat.h>

#include "platform/win32/api/Files.h"

namespace win32 {

std::string NativeFilePath(LPCWSTR windowsPath);
// "/a/b/" -> "/a/b": a folder named with its trailing separator.
std::string WithoutTrailingSeparators(std::string nativePath);

// The Windows error for a failed call on the path: a missing last component
// (ERROR_FILE_NOT_FOUND) told from a missing folder on the way (ERROR_PATH_NOT_FOUND).
DWORD FileError(const std::string& nativePath, int error);

DWORD FileAttributes(const struct stat& info);
// Attributes, times and the 64-bit size in Windows form.
WIN32_FILE_ATTRIBUTE_DATA AttributeData(const struct stat& info);

}  // namespace win32
