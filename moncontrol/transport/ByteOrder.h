// Fixed-order loads and stores of 32-bit values, right on any host.
#pragma once

#include <cstdint>

std::uint32_t LoadUInt32LE(const std::uint8_t* bytes);
// Most significant byte first, at buffer + position.
void WriteUInt32BE(std::uint32_t value, std::uint32_t position, std::uint8_t* buffer);
