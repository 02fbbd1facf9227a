// The maker's extended VCP page of a display: Set VCP 0xF8 selects a sub-feature (VCP 0xF8's
// current value is the selection), then Get and Set VCP 0xF7 read and write that
// sub-feature's value.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

// The answer to a request frame (checksum already checked) that the extended page serves;
// nothing for every other frame, and for every frame when the display has no extended page.
std::optional<std::vector<std::uint8_t>> AnswerExtendedVcpFrame(const std::vector<std::uint8_t>& frame,
                                                                Display& display);

}  // namespace monsim
