// Zip archives made at test time with minizip, for the package-unpacking tests.
#pragma once

#include <string>
#include <vector>

namespace testkit::packages {

struct ZipEntry {
  // Stored exactly as given: "../x", "/abs", "a\\b" and "dir/" (a folder entry) included.
  std::string name;
  std::string bytes;
};

// The archive's bytes, entries in the order given. Throws std::runtime_error when minizip fails.
std::string MakeZip(const std::vector<ZipEntry>& entries);

}  // namespace testkit::packages
