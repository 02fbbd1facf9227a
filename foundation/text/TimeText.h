// The wall clock and local-time text.
#pragma once

#include <cstdint>
#include <string>

// Whole seconds since 1970-01-01 00:00:00 UTC.
std::int64_t GetCurrSeconds();
// Seconds since the epoch (not milliseconds, whatever the name says) as local time
// "%Y-%m-%dT%H:%M:%S"; empty after two error lines for a value local time cannot show
// (negative, or past the year 3000).
std::string ConvertJavaTimestampToString(std::int64_t seconds);
