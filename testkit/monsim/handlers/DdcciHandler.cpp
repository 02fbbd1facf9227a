#include "testkit/monsim/handlers/DdcciHandler.h"

#include <algorithm>

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/handlers/ExtendedVcpHandler.h"
#include "testkit/monsim/handlers/TableHandler.h"
#include "testkit/monsim/handlers/VendorHandler.h"

namespace monsim {
namespace {

constexpr std::uint8_t kResultUnsupported = 0x01;

std::uint8_t High(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }
std::uint8_t Low(std::uint16_t value) { return static_cast<std::uint8_t>(value); }

// 51 82 01 vcp chk
std::vector<std::uint8_t> GetVcp(const std::vector<std::uint8_t>& frame, const Display& display) {
  if (frame.size() < 5) return NullMessage();
  std::uint8_t code = frame[3];
  auto it = display.vcp.find(code);
  if (it == display.vcp.end()) return ReplyFrame({kOpGetVcpReply, kResultUnsupported, code, 0, 0, 0, 0, 0});
  const VcpValue& v = it->second;
  return ReplyFrame({kOpGetVcpReply, 0x00, code, v.type, High(v.maximum), Low(v.maximum), High(v.current),
                     Low(v.current)});
}

// 51 84 03 vcp high low chk; a display ignores codes it does not have.
std::vector<std::uint8_t> SetVcp(const std::vector<std::uint8_t>& frame, Display& display) {
  if (frame.size() < 7) return NullMessage();
  auto it = display.vcp.find(frame[3]);
  if (it != display.vcp.end()) it->second.current = static_cast<std::uint16_t>((frame[4] << 8) | frame[5]);
  return {};
}

// 51 83 F3 offsetHigh offsetLow chk. The string goes out with its terminating NUL, then a
// fragment without data (length byte 0x83) marks the end.
std::vector<std::uint8_t> Capabilities(const std::vector<std::uint8_t>& frame, const Display& display) {
  if (frame.size() < 6) return NullMessage();
  std::size_t offset = static_cast<std::size_t>((frame[3] << 8) | frame[4]);
  std::vector<std::uint8_t> body;
  body.reserve(3 + kMaxCapabilityFragment + 1);
  body.assign({kOpCapabilitiesReply, frame[3], frame[4]});
  if (display.capabilities) {
    const std::string& text = *display.capabilities;
    std::size_t total = text.size() + 1;
    if (offset < total) {
      std::size_t n = std::min({display.capabilityFragment, kMaxCapabilityFragment, total - offset});
      auto first = text.begin() + static_cast<std::ptrdiff_t>(std::min(offset, text.size()));
      auto last = text.begin() + static_cast<std::ptrdiff_t>(std::min(offset + n, text.size()));
      body.insert(body.end(), first, last);
      if (offset + n == total) body.push_back(0);
    }
  }
  return ReplyFrame(body);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> AnswerDdcciFrame(const std::vector<std::uint8_t>& frame,
                                                          Display& display,
                                                          std::map<std::uint8_t, Display>* chain) {
  if (frame.size() < 3 || !HasValidRequestChecksum(frame)) return std::nullopt;
  if (auto extended = AnswerExtendedVcpFrame(frame, display)) return extended;
  switch (frame[2]) {
    case kOpGetVcp:
      return GetVcp(frame, display);
    case kOpSetVcp:
      return SetVcp(frame, display);
    case kOpCapabilities:
      return Capabilities(frame, display);
    case kOpVendor:
      return AnswerVendorFrame(frame, display, chain);
    case kOpTableWrite:
      return AnswerTableWrite(frame, display.vendor);
    default:
      return NullMessage();
  }
}

}  // namespace monsim
