// CFNumber: integers and reals, as HID device properties and property lists hold them; and
// CFBoolean, the true and false of property lists.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFNumberRef = const struct CFNumberObject*;
using CFNumberType = CFIndex;
using CFBooleanRef = const struct CFBooleanObject*;

inline constexpr CFNumberType kCFNumberSInt32Type = 3;
inline constexpr CFNumberType kCFNumberSInt64Type = 4;
inline constexpr CFNumberType kCFNumberDoubleType = 13;

CFTypeID CFNumberGetTypeID();
// Stores the value as theType; false when the conversion is not exact: the value did not fit
// (the stored value is then clipped) or a real lost its fraction (it is truncated toward zero).
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
// True for a number made from a real, even one with an integral value.
Boolean CFNumberIsFloatType(CFNumberRef number);

CFTypeID CFBooleanGetTypeID();
Boolean CFBooleanGetValue(CFBooleanRef boolean);
