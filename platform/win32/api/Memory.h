// Local memory: the allocations some Windows calls expect their callers to hand in.
#pragma once

#include "platform/win32/api/Types.h"

using HLOCAL = HANDLE;

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// Fixed memory only; null with ERROR_NOT_ENOUGH_MEMORY when none is left.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Null on success.
HLOCAL LocalFree(HLOCAL memory);
