// A fresh C: drive for the package tests, with the folder packages are unpacked into and
// a look at every file on the drive.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "testkit/cdrive/TempCDrive.h"

namespace update_test {

// The Windows form of the unpack folder and the same folder on the drive.
inline constexpr wchar_t kPackageFolder[] = L"C:\\Program\\TMP_QUELMO\\";
inline constexpr char kPackageFolderOnDrive[] = "Program/TMP_QUELMO";

class PackageTestDrive : public testkit::TempCDrive {
 public:
  // Every file on the drive, by its path relative to the drive's root with '/' separators.
  std::set<std::string> Files() const {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Root()))
      if (!entry.is_directory()) files.insert(std::filesystem::relative(entry.path(), Root()).generic_string());
    return files;
  }
};

}  // namespace update_test
