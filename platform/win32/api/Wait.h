// Waiting on kernel objects (mutexes, processes, ...).
#pragma once

#include "platform/win32/api/Types.h"

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFF

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
