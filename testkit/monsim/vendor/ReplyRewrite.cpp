#include "testkit/monsim/vendor/ReplyRewrite.h"

#include "testkit/monsim/ddcci/DdcciFrames.h"

namespace monsim {

void RewriteReplyByte(std::vector<std::uint8_t>& frame, std::size_t index, std::uint8_t value) {
  if (index + 1 >= frame.size()) return;
  frame[index] = value;
  frame.back() = XorOf(frame.data(), frame.size() - 1, kReplyChecksumSeed);
}

}  // namespace monsim
