// CoreFoundation's base types and what every CF object shares: reference counting, its type and
// its description.
#pragma once

#include <cstdint>

using Boolean = unsigned char;
using UInt8 = std::uint8_t;
using SInt32 = std::int32_t;
using UInt32 = std::uint32_t;
using SInt64 = std::int64_t;
using CFIndex = long;
using CFOptionFlags = unsigned long;
using CFTypeID = unsigned long;
using CFHashCode = unsigned long;
using CFTimeInterval = double;
using CFTypeRef = const void*;
using CFStringRef = const struct CFStringObject*;
// A dictionary, array, string, number, boolean, data or date.
using CFPropertyListRef = CFTypeRef;

inline constexpr CFIndex kCFNotFound = -1;

// Allocators are not modelled: every object comes from the default allocator.
using CFAllocatorRef = const struct CFAllocatorObject*;
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

struct CFRange {
  CFIndex location;
  CFIndex length;
};

inline CFRange CFRangeMake(CFIndex location, CFIndex length) { return CFRange{location, length}; }

CFTypeRef CFRetain(CFTypeRef object);
// The last release frees the object; releasing null aborts, as on the real system.
void CFRelease(CFTypeRef object);
CFTypeID CFGetTypeID(CFTypeRef object);
// A text for people, which the caller releases: a string is its own text, a number its decimal
// form, a dictionary or array its members in the platform's old-style property list layout.
CFStringRef CFCopyDescription(CFTypeRef cf);
