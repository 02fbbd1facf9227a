// The maker's vendor frames (DDC/CI opcode 0xCE, then a sub-command): the tunnel to the
// monitors chained behind this one, monitor count and status, the information tables,
// firmware-update notices and conditions, the daisy-chain steps, the UART pass-through, and
// the table frames that travel as vendor frames.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

inline constexpr std::uint8_t kVendorTunnel = 0xAB;
inline constexpr std::uint8_t kVendorMonitorCount = 0xA0;
inline constexpr std::uint8_t kVendorMonitorInfo = 0xA1;
inline constexpr std::uint8_t kVendorChildInfo = 0xA2;
inline constexpr std::uint8_t kVendorUpdateCondition = 0xA3;
inline constexpr std::uint8_t kVendorFwTransFinished = 0xA6;
inline constexpr std::uint8_t kVendorMonitorStatus = 0xA8;
inline constexpr std::uint8_t kVendorDaisyChain = 0xA9;
inline constexpr std::uint8_t kVendorUart = 0xC0;

// The error code of a status request for a monitor index that nothing answers to.
inline constexpr std::uint8_t kVendorErrorNoMonitor = 1;

// frame: 51 len CE sub-command ... chk, its checksum already checked. chain is null for a
// display with no monitors behind it. Nothing for a frame the firmware refuses; the null
// message for one it cannot serve (an unknown sub-command, a payload of the wrong length, a
// length byte that misstates the frame).
std::optional<std::vector<std::uint8_t>> AnswerVendorFrame(const std::vector<std::uint8_t>& frame, Display& display,
                                                           std::map<std::uint8_t, Display>* chain);

}  // namespace monsim
