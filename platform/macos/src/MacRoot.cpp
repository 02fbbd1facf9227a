#include "platform/macos/internal/MacRoot.h"

#include <cstdlib>

#include "platform/macos/NativePath.h"

namespace macstandin {

std::string MacRoot() {
  const char* root = std::getenv("TARVIK_MAC_ROOT");
  std::string path = (root && *root) ? root : "/var/lib/tarvik/mac";
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string MacPathToNative(const std::string& macPath) {
  return !macPath.empty() && macPath.front() == '/' ? MacRoot() + macPath : macPath;
}

}  // namespace macstandin

namespace macos {

std::string NativePathForDependency(const std::string& macPath) { return macstandin::MacPathToNative(macPath); }

}  // namespace macos
