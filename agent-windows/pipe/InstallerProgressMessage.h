// One record of the installer's progress pipe, as the installer writes it: 48 bytes,
// little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t kInstallerMessageSize = 48;
inline constexpr std::size_t kInstallerTextUnits = 21;

struct InstallerProgressMessage {
  std::uint8_t type = 0;  // 1 start, 2 progress, 3 end, 4 installer exit
  // UTF-16 serial number of the monitor being updated: zero-terminated when shorter than the
  // field, unterminated when it fills it.
  std::array<char16_t, kInstallerTextUnits> text{};
  float value = 0;  // type 2: per cent; type 4: the installer's exit code
};

// The record from a message of at most kInstallerMessageSize bytes; what a shorter message
// lacks reads as zero.
InstallerProgressMessage ReadInstallerProgressMessage(const std::uint8_t* bytes, std::size_t count);

// The text up to its terminator or the field's end. A lone surrogate becomes U+FFFD.
std::wstring InstallerMessageText(const InstallerProgressMessage& message);
