// Where the Mac keeps a preferences domain's files, and reading one of them. Everything that
// reads or writes preferences finds its files here.
#pragma once

#include <string>
#include <vector>

#include "platform/macos/internal/CFValues.h"

namespace macstandin {

// The login name of the user the process runs as; empty when the user has none.
std::string UserName();
// The Mac path of that user's home folder: "/var/root" for root, "/Users/<name>" for others;
// empty when the user has no name.
std::string UserHomeFolder();
// The native paths of the files that hold domain's values, the one that wins first: the
// managed preferences for the user and for the machine, then the user's own. None for a
// domain that cannot be a file name.
std::vector<std::string> PreferenceFilesOf(const std::string& domain);
// The native path of the user's own file of domain, where the user's changes are written;
// empty when the user has no home or domain cannot be a file name.
std::string UserPreferenceFileOf(const std::string& domain);
// The dictionary at the top of a preferences file. Null when the file is absent, too large,
// caught half-written, or holds anything else.
Retained<const CFDictionaryObject> ReadPreferenceFile(const std::string& path);

}  // namespace macstandin
