// Changes one byte of a reply frame (6E len ... chk) and keeps its checksum right, so that a
// fault shows only as the change itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace monsim {

// Nothing happens when the frame has no such byte before its checksum.
void RewriteReplyByte(std::vector<std::uint8_t>& frame, std::size_t index, std::uint8_t value);

// Vendor replies: 6E len CE sub-command, then the data.
inline constexpr std::size_t kVendorEchoByte = 3;
inline constexpr std::size_t kVendorDataByte = 4;

}  // namespace monsim
