// CFDictionary: an immutable map from keys to CF objects. The dictionaries made here are
// keyed by strings, compared by their text.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFDictionaryRef = const struct CFDictionaryObject*;
// Only IOKit's matching dictionaries are handed out as mutable; nothing here changes them.
using CFMutableDictionaryRef = struct CFDictionaryObject*;

// Only the callbacks of CF objects exist here: a dictionary retains its keys and values and
// compares its keys, which are strings, by their text.
struct CFDictionaryKeyCallBacks;
struct CFDictionaryValueCallBacks;
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

CFTypeID CFDictionaryGetTypeID();
// A dictionary of the numValues pairs keys[i], values[i], which the caller releases; a later
// pair replaces an earlier one of the same key. Keys that are not strings, NULL values or other
// callbacks are beyond this stand-in: it aborts.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
// The value under key, not retained for the caller; NULL when there is none.
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
