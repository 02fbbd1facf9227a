// The install worker: waits for an update's installer and then lets the next update start.
#pragma once

#include <string>

#include "agent-windows/update/InstallQueue.h"

struct InstallRequest {
  std::wstring exePath;  // the installer
  std::wstring Param;    // its argument text
};

// Runs the installer in the console user's session and waits for it to end, however long.
// Then update id ends, unless the installer's exit record ended it first, and the waiting
// firmware commands are handled on this thread. Each worker owns its request, so a later
// update never changes what a running worker reads. Returns 0.
unsigned MyAsyncFunction(InstallRequest request, UpdateId id);
