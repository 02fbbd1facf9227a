// CFData: an immutable run of bytes, such as a property list read from a file.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFDataRef = const struct CFDataObject*;

CFTypeID CFDataGetTypeID();
// A copy of the length bytes at bytes; NULL when length is negative.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
