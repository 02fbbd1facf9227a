// DDC/CI framing as the library sends it: the display's address 0x6E travels in the command
// header, so a request frame starts with the host's source address; a reply frame starts
// with the display's 0x6E.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::uint8_t kDisplayAddress = 0x6E;
inline constexpr std::uint8_t kHostAddress = 0x51;
// The destination that a reply's checksum is seeded with.
inline constexpr std::uint8_t kReplyChecksumSeed = 0x50;

inline constexpr std::uint8_t kOpGetVcp = 0x01;
inline constexpr std::uint8_t kOpGetVcpReply = 0x02;
inline constexpr std::uint8_t kOpSetVcp = 0x03;
inline constexpr std::uint8_t kOpCapabilities = 0xF3;
inline constexpr std::uint8_t kOpCapabilitiesReply = 0xE3;
inline constexpr std::uint8_t kOpVendor = 0xCE;
inline constexpr std::uint8_t kVendorTunnel = 0xAB;

// The length byte of a frame whose opcode and data are bodyLength bytes.
constexpr std::uint8_t LengthByte(std::size_t bodyLength) {
  return static_cast<std::uint8_t>(0x80 | bodyLength);
}

constexpr std::uint8_t XorChecksum(std::uint8_t seed, const std::uint8_t* bytes, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) seed ^= bytes[i];
  return seed;
}

// A request frame (its checksum byte last, left 0 by the caller) with its checksum filled in:
// 0x6E XOR every byte before it.
template <std::size_t N>
constexpr std::array<std::uint8_t, N> WithRequestChecksum(std::array<std::uint8_t, N> frame) {
  frame[N - 1] = XorChecksum(kDisplayAddress, frame.data(), N - 1);
  return frame;
}

// 51 82 01 vcp chk
constexpr std::array<std::uint8_t, 5> GetVcpFrame(std::uint8_t vcp) {
  return WithRequestChecksum<5>({kHostAddress, LengthByte(2), kOpGetVcp, vcp, 0});
}

// 51 84 03 vcp valueHigh valueLow chk
constexpr std::array<std::uint8_t, 7> SetVcpFrame(std::uint8_t vcp, std::uint16_t value) {
  return WithRequestChecksum<7>({kHostAddress, LengthByte(4), kOpSetVcp, vcp,
                                 static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value), 0});
}

// 51 83 F3 offsetHigh offsetLow chk
constexpr std::array<std::uint8_t, 6> CapabilitiesFrame(std::uint16_t offset) {
  return WithRequestChecksum<6>({kHostAddress, LengthByte(3), kOpCapabilities,
                                 static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset), 0});
}

// The request for the monitor chained at port: 51 len CE AB port, then the request as a
// complete frame with its destination 0x6E first, then the outer checksum. The request's own
// checksum already is the inner frame's.
template <std::size_t N>
constexpr std::array<std::uint8_t, N + 7> TunnelFrame(std::uint8_t port, const std::array<std::uint8_t, N>& request) {
  std::array<std::uint8_t, N + 7> frame{kHostAddress, LengthByte(N + 1 + 3), kOpVendor, kVendorTunnel, port,
                                        kDisplayAddress};
  for (std::size_t i = 0; i < N; ++i) frame[6 + i] = request[i];
  return WithRequestChecksum(frame);
}
