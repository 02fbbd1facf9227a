#include <cstdlib>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace win32 {

std::string CDriveRoot() {
  const char* root = std::getenv("TARVIK_C_DRIVE");
  std::string path = (root && *root) ? root : "/var/lib/tarvik/c";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string WindowsToNativePath(const std::string& windowsPath) {
  std::string rest = windowsPath;
  std::string prefix;
  if (rest.size() >= 2 && rest[1] == ':') {
    char drive = static_cast<char>(rest[0] & ~0x20);
    if (drive == 'C') prefix = CDriveRoot();
    rest.erase(0, 2);  // Z: and any other drive map onto the Linux root
  }
  for (char& c : rest)
    if (c == '\\') c = '/';
  return prefix + rest;
}

std::string WindowsToNativePath(const std::wstring& windowsPath) {
  return WindowsToNativePath(WideToUtf8(windowsPath));
}

std::wstring NativeToWindowsPath(const std::string& nativePath) {
  std::string root = CDriveRoot();
  std::string rest;
  std::string drive;
  if (nativePath.compare(0, root.size(), root) == 0 &&
      (nativePath.size() == root.size() || nativePath[root.size()] == '/')) {
    drive = "C:";
    rest = nativePath.substr(root.size());
  } else {
    drive = nativePath.empty() || nativePath[0] != '/' ? "" : "Z:";
    rest = nativePath;
  }
  for (char& c : rest)
    if (c == '/') c = '\\';
  if (!drive.empty() && rest.empty()) rest = "\\";
  return Utf8ToWide(drive + rest);
}

std::string NativePathForDependency(const std::string& windowsPath) {
  return WindowsToNativePath(windowsPath);
}

}  // namespace win32
