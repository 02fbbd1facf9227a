// Replies as a display frames them inside the monitor's answer.
#pragma once

#include <cstdint>

#include "testkit/hiddouble/Replies.h"

// 6E, the length byte, the body (opcode and data), the reply checksum.
inline testkit::Bytes DisplayReply(const testkit::Bytes& body) {
  testkit::Bytes frame{0x6E, static_cast<std::uint8_t>(0x80 | body.size())};
  frame.insert(frame.end(), body.begin(), body.end());
  std::uint8_t checksum = 0x50;
  for (std::uint8_t b : frame) checksum ^= b;
  frame.push_back(checksum);
  return frame;
}

// A display's Get VCP reply carrying these values.
inline testkit::Responder GetVcpReply(std::uint8_t vcp, std::uint16_t current, std::uint16_t maximum) {
  return testkit::ReplyStatus(
      0, DisplayReply({0x02, 0x00, vcp, 0x00, static_cast<std::uint8_t>(maximum >> 8),
                       static_cast<std::uint8_t>(maximum), static_cast<std::uint8_t>(current >> 8),
                       static_cast<std::uint8_t>(current)}));
}
