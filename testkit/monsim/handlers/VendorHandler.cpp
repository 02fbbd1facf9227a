#include "testkit/monsim/handlers/VendorHandler.h"

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/handlers/DdcciHandler.h"

namespace monsim {
namespace {

// 51 len CE AB port, a complete inner frame (6E first), chk. The chained display answers the
// inner frame; its answer travels back as vendor data behind CE AB.
std::vector<std::uint8_t> Tunnel(const std::vector<std::uint8_t>& frame, std::map<std::uint8_t, Display>& chain) {
  if (frame.size() < 8 || frame[5] != kDisplayAddress) return NullMessage();
  auto target = chain.find(frame[4]);
  if (target == chain.end()) return NullMessage();
  // Without its destination byte the inner frame is a request like any other.
  std::vector<std::uint8_t> inner(frame.begin() + 6, frame.end() - 1);
  auto answer = AnswerDdcciFrame(inner, target->second, nullptr);
  if (!answer) return NullMessage();
  if (answer->empty()) return {};
  std::vector<std::uint8_t> body{kOpVendor, kVendorTunnel};
  body.insert(body.end(), answer->begin(), answer->end());
  return ReplyFrame(body);
}

}  // namespace

std::vector<std::uint8_t> AnswerVendorFrame(const std::vector<std::uint8_t>& frame,
                                            std::map<std::uint8_t, Display>& chain) {
  if (frame.size() < 5) return NullMessage();
  switch (frame[3]) {
    case kVendorTunnel:
      return Tunnel(frame, chain);
    default:
      return NullMessage();
  }
}

}  // namespace monsim
