// Folders of the agent's files under the common application data folder.
#pragma once

#include <initializer_list>
#include <string>

// The path exists and is a folder.
bool DirectoryExists(const std::wstring& path);
// Creates the last level of the path; true when it was created or already existed.
bool CreateFolder(const std::wstring& path);
// The common application data folder ("C:\ProgramData"); false when it cannot be found.
bool GetCommonAppDataFolder(std::wstring* folder);
// base\level1\level2...; each level is created when missing.
std::wstring MakeFolderPath(const std::wstring& base, std::initializer_list<const wchar_t*> levels);
