#include "agent-windows/pipe/InstallerProgressMessage.h"

#include <algorithm>
#include <bit>

namespace {

constexpr std::size_t kTextOffset = 2;
constexpr std::size_t kValueOffset = 44;
constexpr char32_t kReplacementCharacter = 0xFFFD;

std::uint16_t ReadUInt16LE(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t ReadUInt32LE(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

InstallerProgressMessage ReadInstallerProgressMessage(const std::uint8_t* bytes, std::size_t count) {
  std::array<std::uint8_t, kInstallerMessageSize> buffer{};
  std::copy_n(bytes, std::min(count, buffer.size()), buffer.begin());
  InstallerProgressMessage message;
  message.type = buffer[0];
  for (std::size_t i = 0; i < kInstallerTextUnits; ++i)
    message.text[i] = static_cast<char16_t>(ReadUInt16LE(&buffer[kTextOffset + 2 * i]));
  message.value = std::bit_cast<float>(ReadUInt32LE(&buffer[kValueOffset]));
  return message;
}

std::wstring InstallerMessageText(const InstallerProgressMessage& message) {
  const auto end = std::find(message.text.begin(), message.text.end(), u'\0');
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::wstring(message.text.begin(), end);
  } else {
    std::wstring text;
    for (auto unit = message.text.begin(); unit != end; ++unit) {
      if (IsHighSurrogate(*unit) && unit + 1 != end && IsLowSurrogate(unit[1])) {
        text.push_back(static_cast<wchar_t>(0x10000 + ((unit[0] - 0xD800) << 10) + (unit[1] - 0xDC00)));
        ++unit;
      } else if (IsHighSurrogate(*unit) || IsLowSurrogate(*unit)) {
        text.push_back(static_cast<wchar_t>(kReplacementCharacter));
      } else {
        text.push_back(static_cast<wchar_t>(*unit));
      }
    }
    return text;
  }
}
