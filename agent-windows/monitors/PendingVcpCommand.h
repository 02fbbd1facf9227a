// One VCP record of a monitor: a command the server queued, or a change the monitor announced.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The code whose sub-codes select the extended settings.
inline constexpr std::int32_t kExtendedVcpPage = 0xF8;

// command: [code, value, 0, 0, 0, 0] or, for the 0xF8 page, [0xF8, sub-code, value, 0, 0, 0];
// a change record carries the monitor's second value after the first.
struct PendingVcpCommand {
  std::int64_t time = 0;  // seconds since the epoch when first queued; 0 in a change record
  std::string serial;     // UTF-8
  std::array<std::int32_t, 6> command{};
};
