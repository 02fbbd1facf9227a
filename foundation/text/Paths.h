// Windows paths: the agent's own folder and file tests.
#pragma once

#include <string>

// The running executable's folder with its trailing backslash; empty when the path cannot be
// read (or is longer than MAX_PATH) or holds no backslash.
std::wstring GetExeDirectory();
// Adds a backslash unless the path is empty or already ends in one.
void AppendBackslash(std::wstring& path);
// A file, not a folder, exists at the path.
bool IsFileExist(const wchar_t* path);
