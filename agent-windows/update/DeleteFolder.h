// Removing a folder with everything in it.
#pragma once

#include <string>

// Deletes what it can, logging each entry that resists, then the folder itself. True when the
// folder was removed; false when it did not exist or something in it stayed.
bool DeleteFolder(const std::wstring& folder);
