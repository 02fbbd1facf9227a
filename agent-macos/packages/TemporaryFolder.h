// The agent's own temporary folder: "<$TMPDIR, or /tmp>/TarvikService-<uid>", mode 0700, so
// that nobody else can plant or swap a package in it.
#pragma once

#include <filesystem>

namespace packages {

// Creates the folder when it is missing. Throws std::runtime_error (or a filesystem error)
// with the reason when it cannot be made, or when it is a link, not a folder, owned by another
// user, or open to group or others.
std::filesystem::path agentTemporaryFolder();

}  // namespace packages
