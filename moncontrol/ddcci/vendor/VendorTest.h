// The tests of the vendor commands: the scripted monitor of the DDC/CI tests, replies framed
// as the monitor frames vendor answers and table chunks, and the buffers the library hands out.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "moncontrol/ddcci/DdcciTest.h"

struct FreeBuffer {
  void operator()(std::uint8_t* buffer) const { std::free(buffer); }
};
using Handed = std::unique_ptr<std::uint8_t[], FreeBuffer>;

// 6E len CE sub-command data chk
inline Bytes VendorAnswer(std::uint8_t subCommand, const Bytes& data) {
  Bytes body{0xCE, subCommand};
  body.insert(body.end(), data.begin(), data.end());
  return DisplayReply(body);
}

// 6E len CE key offsetHigh offsetLow data chk: one chunk of a vendor table.
inline Bytes TableChunk(std::uint8_t key, std::uint16_t offset, const Bytes& data) {
  Bytes body{0xCE, key, static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)};
  body.insert(body.end(), data.begin(), data.end());
  return DisplayReply(body);
}

// The frame with its request checksum (0x6E XOR every byte) appended.
inline Bytes WithRequestChecksum(Bytes frame) {
  std::uint8_t checksum = 0x6E;
  for (std::uint8_t b : frame) checksum ^= b;
  frame.push_back(checksum);
  return frame;
}

// The bytes 0, 1, 2, ... of a table of this length.
inline Bytes Counting(std::size_t length, std::uint8_t first = 0) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

class VendorTest : public DdcciTest {
 protected:
  void Reply(const Bytes& frame) { m_device->Answer(testkit::ReplyStatus(0, frame)); }
  // The 16-bit offset of request i's frame at bytes 6 and 7.
  int RequestOffset(std::size_t i) const {
    Bytes frame = RequestPayload(i);
    return frame.size() < 8 ? -1 : frame[6] << 8 | frame[7];
  }
};
