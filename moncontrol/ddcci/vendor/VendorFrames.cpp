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
  std::vector<std::uint8_t> frame(payload.size() + 5);
  frame[0] = kHostAddress;
  frame[1] = LengthByte(payload.size() + 2);
  frame[2] = kOpVendor;
  frame[3] = subCommand;
  std::copy(payload.begin(), payload.end(), frame.begin() + 4);
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
  std::vector<std::uint8_t> frame(n + 7);
  frame[0] = kTableWriteSource;
  frame[1] = static_cast<std::uint8_t>(n);
  frame[2] = kOpTableWrite;
  frame[3] = vcp;
  frame[4] = High(offset);
  frame[5] = Low(offset);
  std::copy_n(data.begin(), n, frame.begin() + 6);
  SealRequest(frame);
  return frame;
}
