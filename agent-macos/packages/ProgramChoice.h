// Which program of an unpacked package is the installer.
#pragma once

#include <filesystem>
#include <optional>

namespace packages {

// In listing order, hidden items skipped: the first executable in "Contents/MacOS" of the
// first top-level item with the extension "app"; failing that, the first top-level item
// without an extension that is executable. Executable means a regular file that the agent may
// run and whose real path lies inside folder. Throws std::filesystem::filesystem_error when
// the top level cannot be listed.
std::optional<std::filesystem::path> chooseProgram(const std::filesystem::path& folder);

}  // namespace packages
