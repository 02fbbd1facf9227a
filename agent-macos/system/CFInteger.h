// Whole numbers out of CoreFoundation values.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/macos/CoreFoundation.h"

// The value of a CFNumber that holds a whole number (a real one without a fraction counts, as the
// platform's bridging to an integer takes it); none for null, any other kind, or a real with a
// fraction or out of range.
std::optional<std::int64_t> integerOf(CFTypeRef value);
