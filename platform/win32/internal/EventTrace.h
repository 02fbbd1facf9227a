// Where the stand-in's event tracing writes a provider's events.
#pragma once

#include <string>

#include "platform/win32/api/Types.h"

namespace win32 {

// "{BE2E880E-F79F-4C30-9C95-09F003A0A7EA}"
std::string GuidText(const GUID& guid);
// Native path of the provider's file; one line per event: "level=2 keyword=0x0 pid=12 text".
std::string EventTraceFile(const GUID& providerId);

}  // namespace win32
