#include "testkit/monsim/handlers/ExtendedVcpHandler.h"

#include "testkit/monsim/ddcci/DdcciFrames.h"

namespace monsim {
namespace {

constexpr std::uint8_t kSelect = 0xF8;
constexpr std::uint8_t kValue = 0xF7;
constexpr std::uint8_t kResultUnsupported = 0x01;

std::uint8_t High(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }
std::uint8_t Low(std::uint16_t value) { return static_cast<std::uint8_t>(value); }

// The sub-feature that VCP 0xF8 selects; none before the first select or when it is unknown.
VcpValue* Selected(Display& display) {
  auto select = display.vcp.find(kSelect);
  if (select == display.vcp.end()) return nullptr;
  auto it = display.extended.find(select->second.current);
  return it == display.extended.end() ? nullptr : &it->second;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> AnswerExtendedVcpFrame(const std::vector<std::uint8_t>& frame,
                                                                Display& display) {
  if (display.extended.empty() || frame.size() < 5) return std::nullopt;
  const std::uint8_t opcode = frame[2];
  const std::uint8_t code = frame[3];
  if (opcode == kOpSetVcp && frame.size() >= 7 && (code == kSelect || code == kValue)) {
    const auto value = static_cast<std::uint16_t>((frame[4] << 8) | frame[5]);
    if (code == kSelect) {
      VcpValue& select = display.vcp.try_emplace(kSelect, VcpValue{0, 0xFFFF, 0}).first->second;
      select.current = value;
    } else if (VcpValue* selected = Selected(display)) {
      selected->current = value;
    }
    return std::vector<std::uint8_t>{};
  }
  if (opcode == kOpGetVcp && code == kValue) {
    const VcpValue* selected = Selected(display);
    if (selected == nullptr) return ReplyFrame({kOpGetVcpReply, kResultUnsupported, kValue, 0, 0, 0, 0, 0});
    return ReplyFrame({kOpGetVcpReply, 0x00, kValue, selected->type, High(selected->maximum), Low(selected->maximum),
                       High(selected->current), Low(selected->current)});
  }
  return std::nullopt;
}

}  // namespace monsim
