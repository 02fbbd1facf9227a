// Minidumps of this process in the documented file format: the header, the stream directory,
// the exception stream, the thread list (the thread that took the exception, with its context
// and its stack from the stack pointer up, as far as it can be read, 64 KiB at most) and the
// system information. Writing one is safe inside a signal handler: nothing is allocated or
// locked.
#pragma once

#include "platform/win32/api/Exceptions.h"
#include "platform/win32/api/Types.h"

typedef enum _MINIDUMP_TYPE {
  MiniDumpNormal = 0x00000000,
} MINIDUMP_TYPE;

#pragma pack(push, 4)
typedef struct _MINIDUMP_EXCEPTION_INFORMATION {
  DWORD ThreadId;
  PEXCEPTION_POINTERS ExceptionPointers;
  BOOL ClientPointers;
} MINIDUMP_EXCEPTION_INFORMATION, *PMINIDUMP_EXCEPTION_INFORMATION;
#pragma pack(pop)
static_assert(sizeof(MINIDUMP_EXCEPTION_INFORMATION) == 16);

typedef struct _MINIDUMP_USER_STREAM_INFORMATION* PMINIDUMP_USER_STREAM_INFORMATION;
typedef struct _MINIDUMP_CALLBACK_INFORMATION* PMINIDUMP_CALLBACK_INFORMATION;

// This process only, MiniDumpNormal, no user streams and no callback; the file is one that
// CreateFileW opened for writing. Without exception information the thread list holds the
// calling thread. On failure the last error is an HRESULT, as Windows has it.
BOOL MiniDumpWriteDump(HANDLE process, DWORD processId, HANDLE file, MINIDUMP_TYPE dumpType,
                       PMINIDUMP_EXCEPTION_INFORMATION exceptionParam,
                       PMINIDUMP_USER_STREAM_INFORMATION userStreamParam,
                       PMINIDUMP_CALLBACK_INFORMATION callbackParam);
