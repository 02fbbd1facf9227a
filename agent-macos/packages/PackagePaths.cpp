#include "agent-macos/packages/PackagePaths.h"

#include <system_error>

#include "agent-macos/packages/Uuid.h"

namespace packages {

PackagePaths PackagePaths::make(const std::filesystem::path& temporaryFolder, const std::string& name) {
  const std::string id = newUuidString();
  PackagePaths paths;
  paths.transfer = temporaryFolder / ("TarvikTransfer_" + id);
  paths.downloadFolder = temporaryFolder / ("TarvikDownload_" + id);
  paths.archive = paths.downloadFolder / name;
  paths.unpackFolder = temporaryFolder / ("TarvikZipUnpack_" + newUuidString());
  return paths;
}

void removePackage(const PackagePaths& paths) {
  std::error_code ignored;
  std::filesystem::remove_all(paths.downloadFolder, ignored);
  std::filesystem::remove_all(paths.unpackFolder, ignored);
}

}  // namespace packages
