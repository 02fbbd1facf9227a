// The maker's vendor frames (DDC/CI opcode 0xCE, then a sub-command). So far the tunnel to
// the monitors chained behind this one.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

inline constexpr std::uint8_t kVendorTunnel = 0xAB;

// frame: 51 len CE sub-command ... chk, its checksum already checked.
std::vector<std::uint8_t> AnswerVendorFrame(const std::vector<std::uint8_t>& frame,
                                            std::map<std::uint8_t, Display>& chain);

}  // namespace monsim
