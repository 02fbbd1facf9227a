// Where the macOS code hands a fixed Mac path to a portable dependency (std::filesystem,
// open(), spdlog), the path goes through this one conversion. On macOS it is the identity.
#pragma once

#include <string>

namespace macos {

#ifdef __APPLE__
inline std::string NativePathForDependency(const std::string& macPath) { return macPath; }
#else
// An absolute path lands under the folder that stands for the Mac's root (TARVIK_MAC_ROOT,
// default /var/lib/tarvik/mac); a relative one is left as it is.
std::string NativePathForDependency(const std::string& macPath);
#endif

}  // namespace macos
