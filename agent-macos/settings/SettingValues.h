// How the texts of the settings sources become settings values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "agent-macos/log/Log.h"

// A signed 64-bit decimal: an optional "+" or "-" and one or more digits, nothing else.
std::optional<std::int64_t> parsePort(std::string_view text);

// "info", "warn" or "error" in any case; any other text is info.
LogLevel logLevelFromText(std::string_view text);

std::string lowercased(std::string_view text);
