// Work objects on the process's default thread pool. Each submit runs the callback once on a
// pool thread; a callback may keep its thread for the life of the process, and the pool then
// takes another thread for later work. Pool threads never keep the process from ending.
#pragma once

#include "platform/win32/api/Types.h"

#ifndef VOID
#define VOID void
#endif
#ifndef CALLBACK
#define CALLBACK
#endif

typedef struct _TP_WORK TP_WORK, *PTP_WORK;
// Callbacks get a null instance here: the per-callback calls that would take one are not
// provided.
typedef struct _TP_CALLBACK_INSTANCE TP_CALLBACK_INSTANCE, *PTP_CALLBACK_INSTANCE;
typedef struct _TP_CALLBACK_ENVIRON_V3 TP_CALLBACK_ENVIRON, *PTP_CALLBACK_ENVIRON;

typedef VOID(CALLBACK* PTP_WORK_CALLBACK)(PTP_CALLBACK_INSTANCE instance, PVOID context,
                                          PTP_WORK work);

// Only the default pool (a null environment; ERROR_INVALID_PARAMETER otherwise). Null with the
// last error set on failure.
PTP_WORK CreateThreadpoolWork(PTP_WORK_CALLBACK callback, PVOID context,
                              PTP_CALLBACK_ENVIRON environment);
VOID SubmitThreadpoolWork(PTP_WORK work);
// Waits until every callback submitted so far has returned; with cancelPendingCallbacks those
// that have not started are dropped instead.
VOID WaitForThreadpoolWorkCallbacks(PTP_WORK work, BOOL cancelPendingCallbacks);
// The object goes once its outstanding callbacks have returned; they all still run.
VOID CloseThreadpoolWork(PTP_WORK work);
