// CFDictionary: an immutable map from keys to CF objects. The dictionaries made here are
// keyed by strings, compared by their text.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFDictionaryRef = const struct CFDictionaryObject*;

CFTypeID CFDictionaryGetTypeID();
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
// The value under key, not retained for the caller; NULL when there is none.
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
