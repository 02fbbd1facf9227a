// CFArray: an immutable ordered collection of CF objects.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFArrayRef = const struct CFArrayObject*;

CFTypeID CFArrayGetTypeID();
CFIndex CFArrayGetCount(CFArrayRef theArray);
// The value is not retained for the caller. An index outside the array is a programming
// error that the platform does not survive either: it aborts.
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
