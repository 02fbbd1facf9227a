// Terminal-services sessions. The machine has one console session, id 1; the services run in
// session 0. TARVIK_WIN32_NO_CONSOLE_SESSION=1 makes it a machine where nobody is at the console.
#pragma once

#include "platform/win32/api/Types.h"

DWORD WTSGetActiveConsoleSessionId();
