#include "agent-macos/packages/Unzip.h"

#include "agent-macos/log/Log.h"
#include "agent-macos/packages/ArchiveCheck.h"
#include "agent-macos/packages/ChildProcess.h"

namespace packages {

bool unzipArchive(const std::filesystem::path& archive, const std::filesystem::path& folder) {
  if (const std::optional<std::string> fault = archiveFault(archive)) {
    // A body that is no zip (a server's error page) fails as unzip fails it, without a line.
    if (*fault != kNotAZip) Utils::logWarn("Package archive refused: " + *fault);
    return false;
  }
  // No input: a question about an existing file gets its end at once and unzip goes on.
  const pid_t unzip = spawnProcess("/usr/bin/unzip", {archive.string(), "-d", folder.string()}, ChildInput::Nothing);
  return waitForExit(unzip) == 0;
}

}  // namespace packages
