// Zip archives made at test time with minizip, for the package-unpacking tests.
#pragma once

#include <string>
#include <vector>

namespace testkit::packages {

struct ZipEntry {
  // Stored exactly as given: "../x", "/abs", "a\\b" and "dir/" (a folder entry) included.
  std::string name;
  std::string bytes;
  // Unix file type and permissions (0100755 an executable, 0120777 a link whose bytes are its
  // target); 0 stores none, as an archive made on Windows does.
  unsigned mode = 0;
};

// The archive's bytes, entries in the order given. Throws std::runtime_error when minizip fails.
std::string MakeZip(const std::vector<ZipEntry>& entries);

}  // namespace testkit::packages
