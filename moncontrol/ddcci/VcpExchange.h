// The one-exchange VCP commands, for the monitor itself and through the tunnel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "moncontrol/hid/HidApi.h"

// A Get VCP reply: 6E 88 02 result vcp type maxHigh maxLow curHigh curLow chk.
inline constexpr std::size_t kGetVcpReplyLength = 11;

// Sends a Get VCP request and reads the Get VCP reply found replyOffset bytes into the reply
// frame. 0 with the values; MC_ERR_BAD_REPLY (values 0), MC_ERR_NO_MEMORY, MC_ERR_MUTEX.
std::int32_t ReadVcpValue(mchid::hid_device* handle, std::span<const std::uint8_t> request, std::size_t bufferSize,
                          std::size_t replyOffset, std::uint8_t vcp, std::int32_t* current, std::int32_t* maximum,
                          const wchar_t* command);
// Sends a request that sets a value: the transport's result, MC_ERR_NO_MEMORY, MC_ERR_MUTEX.
std::int32_t WriteVcpValue(mchid::hid_device* handle, std::span<const std::uint8_t> request, const wchar_t* command);

// True, with the values, when frame is a valid Get VCP reply for vcp: opcode 1 or 2, the VCP
// code echoed, the reply checksum right. Result code and VCP type are not examined.
bool ParseGetVcpReply(std::span<const std::uint8_t> frame, std::uint8_t vcp, std::int32_t* current,
                      std::int32_t* maximum, const wchar_t* command);
