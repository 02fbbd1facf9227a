#include "testkit/monsim/handlers/VendorHandler.h"

#include <algorithm>

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/handlers/DdcciHandler.h"
#include "testkit/monsim/handlers/TableHandler.h"

namespace monsim {
namespace {

constexpr std::uint8_t kErrorGood = 0;
// The daisy-chain steps the firmware knows: 0 to 3.
constexpr std::uint8_t kDaisyChainSteps = 4;

// The table frames are told apart by their fixed sizes and length bytes, which describe
// no frame of a vendor command of that size.
bool IsTableRead(const std::vector<std::uint8_t>& frame) { return frame.size() == 9 && frame[1] == 0x83; }
bool IsVendorTableRead(const std::vector<std::uint8_t>& frame) {
  return frame.size() == 9 && frame[1] == 0x86 && (frame[3] == kVendorMonitorInfo || frame[3] == kVendorChildInfo);
}
bool IsVendorTableWrite(const std::vector<std::uint8_t>& frame) {
  return frame.size() == 32 && (frame[1] & 0x7F) <= 23;
}

// Monitor index 0 is the display itself, any other the display chained at that port.
Display* Monitor(Display& display, std::map<std::uint8_t, Display>* chain, std::uint8_t index) {
  if (index == 0) return &display;
  if (chain == nullptr) return nullptr;
  auto it = chain->find(index);
  return it == chain->end() ? nullptr : &it->second;
}

// 6E len CE sub-command data chk
std::vector<std::uint8_t> Answer(std::uint8_t subCommand, std::vector<std::uint8_t> data) {
  data.insert(data.begin(), {kOpVendor, subCommand});
  return ReplyFrame(data);
}

// 51 len CE AB port, a complete inner frame (6E first), chk. The chained display answers the
// inner frame; its answer travels back as vendor data behind CE AB.
std::vector<std::uint8_t> Tunnel(const std::vector<std::uint8_t>& frame, std::map<std::uint8_t, Display>* chain) {
  if (chain == nullptr || frame.size() < 8 || frame[5] != kDisplayAddress) return NullMessage();
  auto target = chain->find(frame[4]);
  if (target == chain->end()) return NullMessage();
  // Without its destination byte the inner frame is a request like any other.
  std::vector<std::uint8_t> inner(frame.begin() + 6, frame.end() - 1);
  auto answer = AnswerDdcciFrame(inner, target->second, nullptr);
  if (!answer) return NullMessage();
  if (answer->empty()) return {};
  std::vector<std::uint8_t> body(answer->size() + 2);
  body[0] = kOpVendor;
  body[1] = kVendorTunnel;
  std::copy(answer->begin(), answer->end(), body.begin() + 2);
  return ReplyFrame(body);
}

// The commands whose frame is 51 len CE sub-command payload chk, the length byte true.
std::vector<std::uint8_t> Command(std::uint8_t subCommand, const std::vector<std::uint8_t>& payload,
                                  Display& display, std::map<std::uint8_t, Display>* chain) {
  switch (subCommand) {
    case kVendorMonitorCount:
      if (payload.size() != 1) break;
      return Answer(subCommand, {kErrorGood, static_cast<std::uint8_t>(1 + (chain ? chain->size() : 0))});
    case kVendorMonitorStatus: {
      if (payload.size() != 1) break;
      const Display* monitor = Monitor(display, chain, payload[0]);
      if (monitor == nullptr) return Answer(subCommand, {kVendorErrorNoMonitor, 0});
      return Answer(subCommand, {kErrorGood, monitor->vendor.status});
    }
    case kVendorFwTransFinished:
      if (payload.size() != 1) break;
      return Answer(subCommand, {display.vendor.fwTransferResult});
    case kVendorUpdateCondition:
      if (payload.size() != 11) break;
      return Answer(subCommand, {kErrorGood});
    case kVendorDaisyChain: {
      if (payload.size() != 6) break;
      const std::uint8_t step = payload[0];
      if (step >= kDaisyChainSteps) return Answer(subCommand, {step, 0, 1});
      return Answer(subCommand, {step, display.vendor.daisyChainResults[step], 0});
    }
    case kVendorUart:  // a loopback: the UART's reply is what it was sent
      return Answer(subCommand, payload);
    default:
      break;
  }
  return NullMessage();
}

}  // namespace

std::optional<std::vector<std::uint8_t>> AnswerVendorFrame(const std::vector<std::uint8_t>& frame, Display& display,
                                                           std::map<std::uint8_t, Display>* chain) {
  if (frame.size() < 5) return NullMessage();
  if (IsTableRead(frame)) return AnswerTableRead(frame, display.vendor);
  if (IsVendorTableRead(frame)) {
    const Display* monitor = Monitor(display, chain, frame[5]);
    return AnswerVendorTableRead(frame, monitor ? &monitor->vendor : nullptr);
  }
  if (IsVendorTableWrite(frame)) return AnswerVendorTableWrite(frame, display.vendor);
  if (frame[3] == kVendorTunnel) return Tunnel(frame, chain);
  if (static_cast<std::size_t>(frame[1] & 0x7F) != frame.size() - 3) return NullMessage();
  return Command(frame[3], std::vector<std::uint8_t>(frame.begin() + 4, frame.end() - 1), display, chain);
}

}  // namespace monsim
