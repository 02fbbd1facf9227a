// The texts a monitor updater reads from the library's tables and capability pairs, and the
// stamps of its log lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "agent-macos/monitors/MonitorRecords.h"
#include "moncontrol/ddcci/vendor/MonitorInfo.h"

// The bytes of a fixed-width field up to its first zero, as UTF-8 with invalid sequences replaced.
std::string fixedWidthText(const char* field, std::size_t width);

template <std::size_t Width>
std::string fixedWidthText(const char (&field)[Width]) {
  return fixedWidthText(field, Width);
}

// The table's text, or none (with a log line) when there is no table.
std::optional<std::string> specialIDString(const tagZunMONITORINFO* table);
std::optional<std::string> vendorIDString(const tagZunMONITORINFO* table);

// A capability key such as "10" or "F821"; 0 with a log line when it is not a 16-bit hex number.
std::uint16_t parseVcpCode(const std::string& text);
// Pairs of hex digits, spaces ignored; none for an odd count or a pair that is not hex.
std::optional<std::vector<std::uint8_t>> parseHexBytes(const std::string& text);
// parseHexBytes widened; empty when that gives none.
std::vector<std::uint16_t> parseHexWords(const std::string& text);

// Wall-clock milliseconds since 1970, for the "current time(ms): " of the read's log lines.
std::string currentTimeMs();
// "ZunMonitorInfo(vendor_id: ..., sn: \"...\", ...)".
std::string describe(const ZunMonitorInfo& info);
// "[1, 2, 3]".
std::string listText(const std::vector<std::uint16_t>& values);
