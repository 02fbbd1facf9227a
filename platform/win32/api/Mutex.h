// Mutexes: named kernel mutexes, shared by every process in their namespace ("Global\" names
// machine-wide, "Local\" and bare names per session), and process-local critical sections.
// Both are recursive for the owning thread. A mutex whose owner ends without releasing it is
// handed to the next waiter with WAIT_ABANDONED.
//
// Named mutexes live in the folder TARVIK_KERNEL_OBJECTS (default /dev/shm/tarvik-objects);
// the session is that of the process (TARVIK_SESSION_ID, default 1). A name exists while a
// handle to it is open.
#pragma once

#include <pthread.h>

#include "platform/win32/api/Security.h"
#include "platform/win32/api/Types.h"

#define SYNCHRONIZE 0x00100000L
#define MUTEX_MODIFY_STATE 0x0001
#define MUTEX_ALL_ACCESS 0x001F0001

#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_NOT_OWNER 288L

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
HANDLE OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

struct CRITICAL_SECTION {
  pthread_mutex_t mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
