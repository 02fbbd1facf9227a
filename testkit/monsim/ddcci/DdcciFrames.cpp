#include "testkit/monsim/ddcci/DdcciFrames.h"

namespace monsim {

std::uint8_t XorOf(const std::uint8_t* bytes, std::size_t length, std::uint8_t seed) {
  for (std::size_t i = 0; i < length; ++i) seed ^= bytes[i];
  return seed;
}

bool HasValidRequestChecksum(const std::vector<std::uint8_t>& frame) {
  if (frame.empty()) return false;
  return XorOf(frame.data(), frame.size() - 1, kDisplayAddress) == frame.back();
}

std::vector<std::uint8_t> ReplyFrame(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> frame{kDisplayAddress, static_cast<std::uint8_t>(0x80 | (body.size() & 0x7F))};
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(XorOf(frame.data(), frame.size(), kReplyChecksumSeed));
  return frame;
}

std::vector<std::uint8_t> NullMessage() { return ReplyFrame({}); }

}  // namespace monsim
