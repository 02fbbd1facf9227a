// Turning a downloaded package into the executable to start.
#pragma once

#include <string>

// The executable a package file stands for: an ".exe" as it is, a ".tmp" renamed to ".exe",
// a ".zip" unpacked into folder and the first executable in it. A package that gives no
// executable keeps its own path, so that its start fails and the update moves on.
std::wstring GetExePathByZip(const std::wstring& path, const std::wstring& folder);

// The first file "*.exe" at the top of folder (which ends in a backslash), as folder + name.
bool FindFirstExe(const std::wstring& folder, std::wstring& path);
