// A finished download's completion: unpack the package, find its installer and start it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "agent-macos/packages/PackagePaths.h"

namespace Utils {

// location: the downloaded body, none when the download gave no file; error: why the download
// failed. Runs unzip and waits for it; does not wait for the installer.
void installPackage(const std::optional<std::filesystem::path>& location, const std::optional<std::string>& error,
                    const packages::PackagePaths& paths, const std::vector<std::string>& arguments);

}  // namespace Utils
