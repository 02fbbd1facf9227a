// A small, valid 32-bit Windows executable image made in memory, for tests that sign, download
// and start update packages.
#pragma once

#include <string>

namespace testkit::packages {

// DOS header, PE header, an optional header with all 16 data directories and one initialised
// data section that holds the payload bytes verbatim (so a plain byte search of the file finds
// them). Unsigned: the certificate-table directory is empty.
std::string MakePeImage(const std::string& payload);

}  // namespace testkit::packages
