// Event tracing for providers. Every string event is a line in the provider's file on C:
// (C:\Windows\System32\LogFiles\WMI\<provider id>.log), whether or not a session listens.
#pragma once

#include "platform/win32/api/Types.h"

using REGHANDLE = ULONGLONG;
using PREGHANDLE = REGHANDLE*;
using UCHAR = unsigned char;
using PCWSTR = const wchar_t*;

struct EVENT_FILTER_DESCRIPTOR;
using PEVENT_FILTER_DESCRIPTOR = EVENT_FILTER_DESCRIPTOR*;
typedef void(WINAPI* PENABLECALLBACK)(LPCGUID sourceId, ULONG isEnabled, UCHAR level,
                                      ULONGLONG matchAnyKeyword, ULONGLONG matchAllKeyword,
                                      PEVENT_FILTER_DESCRIPTOR filterData, PVOID callbackContext);

// The enable callback is never called: no session enables the provider.
ULONG EventRegister(LPCGUID providerId, PENABLECALLBACK enableCallback, PVOID callbackContext,
                    PREGHANDLE regHandle);
ULONG EventUnregister(REGHANDLE regHandle);
ULONG EventWriteString(REGHANDLE regHandle, UCHAR level, ULONGLONG keyword, PCWSTR string);
