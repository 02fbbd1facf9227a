// Downloading an update package and installing it, each download on a serial queue of its own.
#pragma once

#include <string>
#include <vector>

#include "agent-macos/connection/ServerURL.h"

namespace Utils {

// Returns at once. The package is downloaded into folders of its own in the agent's temporary
// folder, then unpacked, and its installer started with arguments (installPackage).
void downloadPackage(const ServerURL& url, const std::vector<std::string>& arguments);

}  // namespace Utils
