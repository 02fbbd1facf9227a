// Writing a property list as bytes, for the preferences files and the distributed centre.
#pragma once

#include <optional>
#include <string>

#include "platform/macos/api/CFPropertyList.h"

namespace macstandin {

// True when value is made of dictionaries, arrays, strings, numbers, booleans, data and dates
// alone, and ReadPropertyList reads it back as a value in a dictionary (it is not too deep).
bool IsPropertyListValue(CFTypeRef value);
// The bytes of list in format, which ReadPropertyList reads back; nullopt when list is no
// property list or nests deeper than ReadPropertyList reads.
std::optional<std::string> WritePropertyList(CFPropertyListRef list, CFPropertyListFormat format);

}  // namespace macstandin
