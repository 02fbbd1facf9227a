// Changing a preferences file that other processes read and change too.
#pragma once

#include <map>
#include <string>

#include "platform/macos/internal/CFValues.h"

namespace macstandin {

// The new value of each key; null removes the key.
using PreferenceChanges = std::map<std::u16string, Retained<const CFObject>>;

// Applies changes to the dictionary in the file at path, under the exclusive lock of
// "<path>.lock", and puts the result in place whole (readers see the old file or the new one),
// making missing folders. A file that cannot be read counts as empty. False when the file
// cannot be written or a value is no property list; the file is then left as it was.
bool UpdatePreferenceFile(const std::string& path, const PreferenceChanges& changes);

}  // namespace macstandin
