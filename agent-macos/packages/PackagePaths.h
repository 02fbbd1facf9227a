// Where one download keeps its files. Every download has folders of its own, so two downloads
// of the same package never share an archive or an unpack folder.
#pragma once

#include <filesystem>
#include <string>

namespace packages {

struct PackagePaths {
  std::filesystem::path transfer;        // the body while it arrives
  std::filesystem::path downloadFolder;  // holds the archive
  std::filesystem::path archive;
  std::filesystem::path unpackFolder;

  // Fresh names in temporaryFolder; name is a plain file name (see packageFileName).
  static PackagePaths make(const std::filesystem::path& temporaryFolder, const std::string& name);
};

// Removes the archive's folder and the unpack folder, failures ignored. Links inside them are
// removed, never followed.
void removePackage(const PackagePaths& paths);

}  // namespace packages
