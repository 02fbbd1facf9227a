// Unpacking a package with the system's unzip tool, after the archive has passed its check.
#pragma once

#include <filesystem>

namespace packages {

// False when the archive is refused or unzip ends with a status other than 0. Throws
// std::system_error when unzip cannot be started.
bool unzipArchive(const std::filesystem::path& archive, const std::filesystem::path& folder);

}  // namespace packages
