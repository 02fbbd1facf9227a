// A cross-process lock on the file /tmp/halvanesdk_<name>.lock (the name in UTF-8, with '/' and
// '\' turned into '_').
#pragma once

#include "foundation/Export.h"

// Tries to take the lock every 100 ms: once for a time-out of 0, until the time-out (ms) has
// passed for a positive one, without limit for a negative one. The open descriptor that holds
// the lock, or -1. A link at the lock's path is not followed.
TARVIK_EXPORT int AcquireLockFile(const wchar_t* name, int timeoutMs);
// Unlocks and closes a descriptor of AcquireLockFile; a negative one is ignored.
TARVIK_EXPORT void ReleaseLockFile(int fd);
