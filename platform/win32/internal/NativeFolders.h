// Making folders on the Linux side of the stand-in.
#pragma once

#include <string>

namespace win32 {

// Every missing folder of the native path; false when one could not be made.
bool MakeNativeFolders(const std::string& nativePath);

}  // namespace win32
