// The maker's vendor frames (DDC/CI opcode 0xCE, then a sub-command) and the table frames,
// as the library sends them. Every request checksum is 0x6E XOR the bytes before it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::uint8_t kVendorMonitorCount = 0xA0;
inline constexpr std::uint8_t kVendorMonitorInfo = 0xA1;
inline constexpr std::uint8_t kVendorChildInfo = 0xA2;
inline constexpr std::uint8_t kVendorUpdateCondition = 0xA3;
inline constexpr std::uint8_t kVendorFwTransFinished = 0xA6;
inline constexpr std::uint8_t kVendorMonitorStatus = 0xA8;
inline constexpr std::uint8_t kVendorDaisyChain = 0xA9;
inline constexpr std::uint8_t kVendorUart = 0xC0;

// The length byte's low 7 bits hold the payload length + 2.
inline constexpr std::size_t kVendorMaxPayload = 0x7F - 2;
// Table offsets travel in 16 bits: no chunk of a longer table could be placed.
inline constexpr std::uint32_t kMaxTableLength = 0x10000;

// 51 len CE sub-command payload chk; payload of at most kVendorMaxPayload bytes.
std::vector<std::uint8_t> VendorRequestFrame(std::uint8_t subCommand, std::span<const std::uint8_t> payload);

// 51 86 CE key childIndex monitorIndex offsetHigh offsetLow chk
std::array<std::uint8_t, 9> VendorTableReadFrame(std::uint8_t key, std::uint8_t childIndex, std::uint8_t monitorIndex,
                                                 std::uint16_t offset);

inline constexpr std::size_t kVendorTableWriteChunk = 23;
// 51 80|n CE key arg1 arg2 offsetHigh offsetLow, n data bytes (at most
// kVendorTableWriteChunk), zeros, and the checksum as byte 31.
std::array<std::uint8_t, 32> VendorTableWriteFrame(std::uint8_t key, std::uint8_t arg1, std::uint8_t arg2,
                                                   std::uint16_t offset, std::span<const std::uint8_t> data);

// ReadTable's request: 51 83 CE arg1 arg2 arg3 offsetHigh offsetLow chk
std::array<std::uint8_t, 9> TableReadFrame(std::uint8_t arg1, std::uint8_t arg2, std::uint8_t arg3,
                                           std::uint16_t offset);

inline constexpr std::size_t kTableWriteChunk = 32;
// WriteTable's chunk: 6F n E7 vcp offsetHigh offsetLow, n data bytes (at most
// kTableWriteChunk), chk.
std::vector<std::uint8_t> TableWriteFrame(std::uint8_t vcp, std::uint16_t offset, std::span<const std::uint8_t> data);
