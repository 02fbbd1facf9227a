// Hexadecimal text to bytes and 16-bit values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Blanks are dropped and an odd last digit ignored; the length is always set. When at least one
// byte comes out, *bytes gets a buffer made with malloc that the caller frees. Characters that
// are not hex digits are not rejected: they count as their code minus '0'.
bool HexToByteArray(std::string hex, std::uint8_t** bytes, int* length);
// The low 16 bits of the text read as a base-16 integer ("0x" and a sign allowed); 0 after an
// error line when it holds no number or one beyond 32 signed bits.
std::uint16_t HexStringToUShort(std::string hex);
// One element per byte of HexToByteArray, each 0 to 255.
std::vector<std::uint16_t> HexStringToUShortVector(std::string hex);
