// The end of a started installer: reaped, then its package removed.
#pragma once

#include <sys/types.h>

#include "agent-macos/packages/PackagePaths.h"

namespace packages {

// Waits for installer on a thread of its own, which holds everything it touches. When the
// installer has ended, whatever its status, logs "App finished, cleaning up..." and removes
// the archive and the unpack folder.
void watchInstaller(pid_t installer, PackagePaths paths);

}  // namespace packages
