// Threads and their priorities. Priorities are checked and leave the Linux scheduler alone:
// raising a thread's priority there needs rights that a service does not have here.
#pragma once

#include "platform/win32/api/Token.h"
#include "platform/win32/api/Types.h"

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_IDLE (-15)

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

// Runs start(parameter) on a new thread (stackSize 0: the default stack; flags must be 0). The
// handle is signalled when the thread ends; closing it neither ends nor waits for the thread.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                    LPDWORD threadId);
// STILL_ACTIVE while the thread runs, then what its start routine returned.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// A pseudo handle that stands for the calling thread.
HANDLE GetCurrentThread();
// The kernel's id of the calling thread, as CreateThread reports it.
DWORD GetCurrentThreadId();
// The pseudo handle or a handle from CreateThread (error 6 otherwise); an unknown priority is
// error 87.
BOOL SetThreadPriority(HANDLE thread, int priority);
