// The settings in the system's preference domains.
#pragma once

#include <optional>
#include <string>

#include "platform/macos/CoreFoundation.h"

// The key's value in the agent's managed-preferences domain, "com.quelmo.tarvik", when it is a
// text; none for any other kind.
std::optional<std::string> managedText(CFStringRef key);

// The key's value in the program's standard user defaults as text: a number counts as its
// decimal text.
std::optional<std::string> userDefaultsText(CFStringRef key);
