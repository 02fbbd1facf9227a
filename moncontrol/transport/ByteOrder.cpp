#include "moncontrol/transport/ByteOrder.h"

std::uint32_t LoadUInt32LE(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void WriteUInt32BE(std::uint32_t value, std::uint32_t position, std::uint8_t* buffer) {
  buffer[position] = static_cast<std::uint8_t>(value >> 24);
  buffer[position + 1] = static_cast<std::uint8_t>(value >> 16);
  buffer[position + 2] = static_cast<std::uint8_t>(value >> 8);
  buffer[position + 3] = static_cast<std::uint8_t>(value);
}
