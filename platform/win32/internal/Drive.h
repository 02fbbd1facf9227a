// The Windows-shaped file system: drive C: is a folder (TARVIK_C_DRIVE, default
// /var/lib/tarvik/c) and drive Z: is the Linux root.
#pragma once

#include <string>

namespace win32 {

std::string CDriveRoot();
// "C:\a\b" -> "<C root>/a/b", "Z:\a" -> "/a"; other paths only get '/' separators.
std::string WindowsToNativePath(const std::string& windowsPath);
std::string WindowsToNativePath(const std::wstring& windowsPath);
// "/a/b" -> "Z:\a\b", or "C:\..." when under the C: root.
std::wstring NativeToWindowsPath(const std::string& nativePath);

// UTF-8 <-> wide (UTF-32) conversions for the stand-in's own use; invalid input is replaced.
std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& narrow);

}  // namespace win32
