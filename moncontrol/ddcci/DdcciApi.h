// The library's standard DDC/CI commands: VCP values of the monitor and of monitors chained
// behind it, the capability string, and any DDC/CI frame passed through. Each takes the
// device's named mutex for its whole exchange (MC_ERR_MUTEX when it stays taken).
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// Room the caller gives GetCapabilities; the longest string read.
inline constexpr std::uint32_t kCapabilitiesMaxLength = 2048;
// Longest frame that SEND_CMD_DDCCI passes through.
inline constexpr std::uint32_t kPassThroughMaxFrame = 991;

// 0 with both values; MC_ERR_BAD_REPLY with both 0 when the exchange fails or the reply is
// not valid (opcode, VCP code, checksum, length).
TARVIK_EXPORT std::int32_t GetVCPFeatureL(mchid::hid_device* handle, std::uint8_t vcp, std::int32_t* current,
                                          std::int32_t* maximum);
// The transport's result.
TARVIK_EXPORT std::int32_t SetVCPFeatureL(mchid::hid_device* handle, std::uint8_t vcp, std::uint16_t value);

// The string's length, also in *length, with the string (no NUL added) in out, which holds
// kCapabilitiesMaxLength bytes. 0 with *length 0 when it could not be read to its end.
TARVIK_EXPORT std::int32_t GetCapabilities(mchid::hid_device* handle, std::uint32_t* length, char* out);

// Sends the caller's frame (length byte and checksum its own) and copies the reply's payload
// into reply (room for 992 bytes), its size into *replyLength. MC_ERR_BAD_REPLY for a failed
// exchange or an empty reply.
TARVIK_EXPORT std::int32_t SEND_CMD_DDCCI(mchid::hid_device* handle, std::uint32_t frameLength,
                                          std::uint32_t* replyLength, const std::uint8_t* frame,
                                          std::uint8_t* reply);

// The VCP commands for the monitor chained at port, through the vendor tunnel.
TARVIK_EXPORT std::int32_t SetVCPFeatureDaisyChain(mchid::hid_device* handle, std::uint8_t port, std::uint8_t vcp,
                                                   std::uint16_t value);
TARVIK_EXPORT std::int32_t GetVCPFeatureDaisyChain(mchid::hid_device* handle, std::uint8_t port, std::uint8_t vcp,
                                                   std::int32_t* current, std::int32_t* maximum);

// 32 flags (malloc; the caller frees): entry i is 1 when bit i of (high << 16) | low is clear.
// Null when out of memory.
TARVIK_EXPORT std::uint8_t* VcpMutexTestToVcpCodeArray(std::uint16_t high, std::uint16_t low);
