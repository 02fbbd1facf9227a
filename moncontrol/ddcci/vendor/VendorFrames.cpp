#include "moncontrol/ddcci/vendor/VendorFrames.h"

#include <algorithm>

#include "moncontrol/ddcci/DdcciFrame.h"

namespace {

// Where WriteTable's frames start in place of the host's address, and their opcode.
constexpr std::uint8_t kTableWriteSource = 0x6F;
constexpr std::uint8_t kOpTableWrite = 0xE7;
// ReadTable's length byte, whatever its frame holds.
constexpr std::uint8_t kTableReadLengthByte = 0x83;

std::uint8_t High(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }
std::uint8_t Low(std::uint16_t value) { return static_cast<std::uint8_t>(value); }

template <typename Frame>
void SealRequest(Frame& frame) {
  frame.back() = XorChecksum(kDisplayAddress, frame.data(), frame.size() - 1);
}

}  // namespace

std::vector<std::uint8_t> VendorRequestFrame(std::uint8_t subCommand, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> frame{kHostAddress, LengthByte(payload.size() + 2), kOpVendor, subCommand};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(0);
  SealRequest(frame);
  return frame;
}

std::array<std::uint8_t, 9> VendorTableReadFrame(std::uint8_t key, std::uint8_t childIndex, std::uint8_t monitorIndex,
                                                 std::uint16_t offset) {
  std::array<std::uint8_t, 9> frame{kHostAddress, LengthByte(6), kOpVendor, key, childIndex, monitorIndex,
                                    High(offset), Low(offset), 0};
  SealRequest(frame);
  return frame;
}

std::array<std::uint8_t, 32> VendorTableWriteFrame(std::uint8_t key, std::uint8_t arg1, std::uint8_t arg2,
                                                   std::uint16_t offset, std::span<const std::uint8_t> data) {
  const std::size_t n = std::min(data.size(), kVendorTableWriteChunk);
  std::array<std::uint8_t, 32> frame{kHostAddress, LengthByte(n), kOpVendor, key, arg1, arg2, High(offset),
                                     Low(offset)};
  std::copy_n(data.begin(), n, frame.begin() + 8);
  SealRequest(frame);
  return frame;
}

std::array<std::uint8_t, 9> TableReadFrame(std::uint8_t arg1, std::uint8_t arg2, std::uint8_t arg3,
                                           std::uint16_t offset) {
  std::array<std::uint8_t, 9> frame{kHostAddress, kTableReadLengthByte, kOpVendor, arg1, arg2, arg3,
                                    High(offset), Low(offset), 0};
  SealRequest(frame);
  return frame;
}

std::vector<std::uint8_t> TableWriteFrame(std::uint8_t vcp, std::uint16_t offset, std::span<const std::uint8_t> data) {
  const std::size_t n = std::min(data.size(), kTableWriteChunk);
  std::vector<std::uint8_t> frame{kTableWriteSource, static_cast<std::uint8_t>(n), kOpTableWrite, vcp, High(offset),
                                  Low(offset)};
  frame.insert(frame.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
  frame.push_back(0);
  SealRequest(frame);
  return frame;
}
