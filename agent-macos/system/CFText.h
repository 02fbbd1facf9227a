// Texts out of CoreFoundation values, for the agent's own std::string world.
#pragma once

#include <optional>
#include <string>

#include "platform/macos/CoreFoundation.h"

// The UTF-8 text of a CFString; none for null or for any other kind of value.
std::optional<std::string> textOf(CFTypeRef value);
