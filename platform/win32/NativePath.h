// Where product code hands a Windows path to a portable dependency (spdlog, minizip),
// the path goes through this one conversion. On Windows it is the identity.
#pragma once

#include <string>

namespace win32 {

#ifdef _WIN32
inline std::string NativePathForDependency(const std::string& windowsPath) { return windowsPath; }
#else
// "C:\..." lands under the C: drive folder, "Z:\..." is the Linux root; separators become '/'.
std::string NativePathForDependency(const std::string& windowsPath);
#endif

}  // namespace win32
