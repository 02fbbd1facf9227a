// A random (version 4) UUID in its standard upper-case text form, for one-time folder names.
#pragma once

#include <string>

namespace packages {

// Throws std::runtime_error when the system has no randomness to give.
std::string newUuidString();

}  // namespace packages
