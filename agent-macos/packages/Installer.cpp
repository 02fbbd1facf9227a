#include "agent-macos/packages/Installer.h"

#include <thread>
#include <utility>

#include "agent-macos/log/Log.h"
#include "agent-macos/packages/ChildProcess.h"

namespace packages {

void watchInstaller(pid_t installer, PackagePaths paths) {
  // Detached: an installer may outlive the agent's wish to stop, and the thread needs nothing
  // but its own copy of the paths and the log, which lasts until the process ends.
  std::thread([installer, paths = std::move(paths)] {
    waitForExit(installer);
    Utils::logInfo("App finished, cleaning up...");
    removePackage(paths);
  }).detach();
}

}  // namespace packages
