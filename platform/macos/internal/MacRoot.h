// The Mac's file system: one folder (TARVIK_MAC_ROOT, default /var/lib/tarvik/mac) stands for
// its root, so a fixed Mac path such as "/Library/Preferences" names a path under it.
#pragma once

#include <string>

namespace macstandin {

// Without a trailing '/' ("" when the root is the Linux root itself).
std::string MacRoot();
// "/Library/x" -> "<root>/Library/x"; a relative path is left as it is.
std::string MacPathToNative(const std::string& macPath);

}  // namespace macstandin
