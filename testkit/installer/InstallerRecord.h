// The 48-byte progress record an installer writes into the agent's pipe: offset 0 the type,
// 1 padding, 2..43 the text in UTF-16LE (21 units, NUL-terminated when shorter), 44..47 the
// value as a little-endian IEEE single.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testkit {

inline constexpr std::size_t kInstallerRecordSize = 48;
inline constexpr std::size_t kInstallerTextUnits = 21;

// Record types: start of an installation, progress, end, the installer's exit.
inline constexpr std::uint8_t kRecordStart = 1;
inline constexpr std::uint8_t kRecordProgress = 2;
inline constexpr std::uint8_t kRecordEnd = 3;
inline constexpr std::uint8_t kRecordExit = 4;

// The record's bytes. The UTF-8 text keeps as many whole characters as fit in 21 UTF-16 units.
std::string InstallerRecord(std::uint8_t type, const std::string& text, float value);

}  // namespace testkit
