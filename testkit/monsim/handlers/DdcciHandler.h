// The standard DDC/CI requests of a display: Get VCP, Set VCP and the capability string in
// fragments; vendor frames (opcode 0xCE) go on to the vendor family.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "testkit/monsim/MonitorDescription.h"

namespace monsim {

// Answers one request frame (source byte first, checksum last) from the display. Nothing
// when the frame is malformed; an empty answer acknowledges without data. chain is null for
// a display that has no monitors behind it.
std::optional<std::vector<std::uint8_t>> AnswerDdcciFrame(const std::vector<std::uint8_t>& frame,
                                                          Display& display,
                                                          std::map<std::uint8_t, Display>* chain);

}  // namespace monsim
