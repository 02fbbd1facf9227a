// Reading a property list from bytes, for CFPropertyListCreateWithData and the preferences.
#pragma once

#include <string_view>

#include "platform/macos/api/CFPropertyList.h"

namespace macstandin {

// The list the bytes hold, which the caller releases; null when they are not a whole XML or
// binary list within the stand-in's limits. format, when not null, receives the format read.
CFPropertyListRef ReadPropertyList(std::string_view bytes, CFPropertyListFormat* format);

}  // namespace macstandin
