// CFString: immutable Unicode text held as UTF-16 code units.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFStringEncoding = UInt32;

inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF32LE = 0x1c000100;

namespace macstandin {
// The object behind CFSTR: one per distinct text, never freed.
CFStringRef ConstantString(const char* ascii);
}  // namespace macstandin

#define CFSTR(text) (::macstandin::ConstantString("" text ""))

CFTypeID CFStringGetTypeID();
// The length in UTF-16 code units.
CFIndex CFStringGetLength(CFStringRef string);
// The text of the NUL-terminated cStr; NULL when it is not valid in encoding. Only UTF-8 is
// supported here.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
// Stores the text and a terminating NUL in buffer; false when they do not fit in bufferSize
// bytes or the text cannot be encoded (an unpaired surrogate). Only UTF-8 is supported here.
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The most bytes length code units can take in encoding, without a terminating NUL;
// kCFNotFound for an encoding that is not supported or a length too large.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
// The platform hands out its internal buffer only when it happens to hold the text in that
// encoding; here it never does, so callers always take their CFStringGetCString path.
const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
// Converts the code units of range into buffer; returns how many units were converted and
// stores the bytes written in usedBufferLength. A character that does not fit whole is not
// written. Unpaired surrogates become lossByte, or stop the conversion when lossByte is 0.
// UTF-8 and UTF-32LE are supported.
CFIndex CFStringGetBytes(CFStringRef string, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufferLength,
                         CFIndex* usedBufferLength);
