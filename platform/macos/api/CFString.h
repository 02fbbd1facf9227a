// CFString: immutable Unicode text held as UTF-16 code units.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFStringRef = const struct CFStringObject*;
using CFStringEncoding = UInt32;

inline constexpr CFStringEncoding kCFStringEncodingUTF32LE = 0x1c000100;

namespace macstandin {
// The object behind CFSTR: one per distinct text, never freed.
CFStringRef ConstantString(const char* ascii);
}  // namespace macstandin

#define CFSTR(text) (::macstandin::ConstantString("" text ""))

CFTypeID CFStringGetTypeID();
// The length in UTF-16 code units.
CFIndex CFStringGetLength(CFStringRef string);
// Converts the code units of range into buffer; returns how many units were converted and
// stores the bytes written in usedBufferLength. Unpaired surrogates become lossByte, or stop
// the conversion when lossByte is 0. Only UTF-32LE is supported here.
CFIndex CFStringGetBytes(CFStringRef string, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufferLength,
                         CFIndex* usedBufferLength);
