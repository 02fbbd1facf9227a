// The CRC-16 signature that protects every request.
#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16/MODBUS: initial 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t Crc16Modbus(const std::uint8_t* data, std::size_t length);

// Longest payload the signature can cover: the device's CRC index is 16 bits wide.
inline constexpr std::uint32_t kMaxSignedDataLength = 0xFFFF - 28;

// Signs a complete request (header and its dataLength payload bytes) in place. 0, or
// MC_ERR_SIGN_ARGS for no request or a payload longer than kMaxSignedDataLength.
int SignCmdHeader(std::uint8_t* request);
