// The byte routines of the log header, shared by every build of the library.
#include <string>

#include "foundation/log/Log.h"

namespace {

int HexDigitValue(char c) {
  if (c >= 'A' && c <= 'F') return c - 55;
  if (c >= 'a' && c <= 'f') return c - 87;
  return c - 48;  // anything else, unchecked
}

}  // namespace

std::int32_t HexStringToBytes(const std::string& text, std::uint8_t** bytes, std::int32_t* count) {
  if (bytes == nullptr || count == nullptr) return 0;
  std::string digits;
  digits.reserve(text.size());
  for (char c : text)
    if (c != ' ') digits.push_back(c);
  std::size_t byteCount = digits.size() / 2;  // an odd last character is ignored
  if (byteCount == 0 || byteCount > 0x7FFFFFFF) return 0;
  auto* out = new std::uint8_t[byteCount]();
  for (std::size_t j = 0; j < byteCount; ++j) {
    int value = 0;
    value = value * 16 + HexDigitValue(digits[2 * j]);
    value = value * 16 + HexDigitValue(digits[2 * j + 1]);
    out[j] = static_cast<std::uint8_t>(value & 0xFF);
  }
  *bytes = out;
  *count = static_cast<std::int32_t>(byteCount);
  return 1;
}

void WriteUInt32LE(std::uint32_t value, std::uint8_t* out) {
  if (out == nullptr) return;
  out[0] = static_cast<std::uint8_t>(value);
  out[1] = static_cast<std::uint8_t>(value >> 8);
  out[2] = static_cast<std::uint8_t>(value >> 16);
  out[3] = static_cast<std::uint8_t>(value >> 24);
}
