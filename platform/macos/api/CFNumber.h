// CFNumber: the integer properties of HID devices.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFNumberRef = const struct CFNumberObject*;
using CFNumberType = CFIndex;

inline constexpr CFNumberType kCFNumberSInt32Type = 3;

CFTypeID CFNumberGetTypeID();
// Stores the value as theType; false when it does not fit (the stored value is then clipped).
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
