// Thread priorities. The stand-in checks the request and leaves the Linux scheduler alone:
// raising a thread's priority there needs rights that a service does not have here.
#pragma once

#include "platform/win32/api/Types.h"

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_IDLE (-15)

// A pseudo handle that stands for the calling thread.
HANDLE GetCurrentThread();
// Only the calling thread's pseudo handle is accepted (error 6 otherwise); an unknown
// priority is error 87.
BOOL SetThreadPriority(HANDLE thread, int priority);
