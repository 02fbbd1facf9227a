#include "agent-macos/packages/InstallPackage.h"

#include <system_error>

#include "agent-macos/log/Log.h"
#include "agent-macos/packages/ArgumentList.h"
#include "agent-macos/packages/ChildProcess.h"
#include "agent-macos/packages/Installer.h"
#include "agent-macos/packages/ProgramChoice.h"
#include "agent-macos/packages/Unzip.h"

namespace Utils {
namespace {

void startInstaller(const std::filesystem::path& program, const packages::PackagePaths& paths,
                    const std::vector<std::string>& arguments) {
  pid_t installer = 0;
  try {
    installer = packages::spawnProcess(program.string(), arguments, packages::ChildInput::Inherited);
  } catch (const std::system_error& e) {
    logError("Failed to run app: " + e.code().message());
    packages::removePackage(paths);
    return;
  }
  logInfo("App is running: " + program.string() + " with param: " + packages::quotedList(arguments));
  packages::watchInstaller(installer, paths);
}

// What runs once the body is there; a file handling error leaves the files in place.
void unpackAndStart(const std::filesystem::path& location, const packages::PackagePaths& paths,
                    const std::vector<std::string>& arguments) {
  // The download folder is new, so no earlier archive sits at the destination.
  std::filesystem::create_directory(paths.downloadFolder);
  std::filesystem::rename(location, paths.archive);
  logInfo("Zip file downloaded to: " + paths.archive.string());
  std::filesystem::create_directories(paths.unpackFolder);
  if (!packages::unzipArchive(paths.archive, paths.unpackFolder)) {
    logError("Failed to unzip file.");
    packages::removePackage(paths);
    return;
  }
  logInfo("Unzipped to: " + paths.unpackFolder.string());
  const std::optional<std::filesystem::path> program = packages::chooseProgram(paths.unpackFolder);
  if (!program) {
    logError("No executable found in unzipped directory.");
    packages::removePackage(paths);
    return;
  }
  startInstaller(*program, paths, arguments);
}

}  // namespace

void installPackage(const std::optional<std::filesystem::path>& location, const std::optional<std::string>& error,
                    const packages::PackagePaths& paths, const std::vector<std::string>& arguments) {
  if (error) {
    logError("Download error: " + *error);
    return;
  }
  if (!location) {
    logError("Failed to download zip file.");
    return;
  }
  try {
    unpackAndStart(*location, paths, arguments);
  } catch (const std::system_error& e) {
    // Filesystem errors among them; their text names the path.
    logError("File handling error: " + std::string(e.what()));
  }
}

}  // namespace Utils
