// DDC/CI framing as the monitor sees it: requests arrive without their destination byte
// (0x6E travels in the command header), replies start with the monitor's source 0x6E.
// Kept apart from the library's own frame code on purpose: a device that shared the
// host's definitions could not catch a mistake in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace monsim {

inline constexpr std::uint8_t kDisplayAddress = 0x6E;
inline constexpr std::uint8_t kHostAddress = 0x51;
inline constexpr std::uint8_t kReplyChecksumSeed = 0x50;

inline constexpr std::uint8_t kOpGetVcp = 0x01;
inline constexpr std::uint8_t kOpGetVcpReply = 0x02;
inline constexpr std::uint8_t kOpSetVcp = 0x03;
inline constexpr std::uint8_t kOpCapabilities = 0xF3;
inline constexpr std::uint8_t kOpCapabilitiesReply = 0xE3;
inline constexpr std::uint8_t kOpVendor = 0xCE;

std::uint8_t XorOf(const std::uint8_t* bytes, std::size_t length, std::uint8_t seed);
// A request frame whose last byte is 0x6E XOR every byte before it.
bool HasValidRequestChecksum(const std::vector<std::uint8_t>& frame);
// 0x6E, 0x80 | body length, the body (opcode and data), the reply checksum.
std::vector<std::uint8_t> ReplyFrame(const std::vector<std::uint8_t>& body);
// The reply that carries nothing: what a display answers to a request it cannot serve.
std::vector<std::uint8_t> NullMessage();

}  // namespace monsim
