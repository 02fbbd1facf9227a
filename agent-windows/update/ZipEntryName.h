// Where a zip entry may land.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The folders and file name that an entry's name gives, "/" and "\" both separating them, or
// nullopt when the entry would land outside the folder it is unpacked into: an absolute name, a
// drive or stream (any ':'), or a ".." (or any name of dots and blanks that Windows reads as one).
// A trailing separator gives an empty last part: the entry is a folder.
std::optional<std::vector<std::string>> SplitZipEntryName(const std::string& name);
