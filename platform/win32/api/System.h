// The machine's identity.
#pragma once

#include "platform/win32/api/Types.h"

#define MAX_COMPUTERNAME_LENGTH 15
#define ERROR_BUFFER_OVERFLOW 111L

// The NetBIOS name: the host name's first label, cut to 15 characters, in upper case. On
// success the size is the name's length; when the buffer is too small it is the size needed,
// terminator included.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
