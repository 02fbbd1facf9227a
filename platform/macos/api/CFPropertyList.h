// Property lists: the XML and binary files that preferences and profiles are kept in.
#pragma once

#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFData.h"
#include "platform/macos/api/CFError.h"

enum CFPropertyListFormat : CFIndex {
  kCFPropertyListXMLFormat_v1_0 = 100,
  kCFPropertyListBinaryFormat_v1_0 = 200,
};

// Every list made here is immutable, whatever the options ask for.
inline constexpr CFOptionFlags kCFPropertyListImmutable = 0;

// The list that data holds, which the caller releases; NULL when data is not a whole XML or
// binary property list, or nests deeper than the stand-in reads. format receives the format
// read; error receives NULL.
CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat* format, CFErrorRef* error);
