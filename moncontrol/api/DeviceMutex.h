// The named system mutexes that serialise DDC/CI exchanges with one monitor across the
// threads and processes of a session.
#pragma once

#include "moncontrol/api/DeviceRegistry.h"
#include "platform/win32/Win32.h"

// Opens the mutex of that name, or creates it (not owned) so that every user of the session
// has full access. Null when both fail.
HANDLE CreateDeviceMutex(const wchar_t* name);

// Closes every device mutex and forgets them and the listeners (the listener threads are
// stopped before).
void CloseAllDeviceMutex();
