#include "testkit/monsim/Faults.h"

#include <array>
#include <utility>

#include "testkit/monsim/ddcci/DdcciFrames.h"
#include "testkit/monsim/vendor/ReplyRewrite.h"

namespace monsim {
namespace {

constexpr std::array<std::pair<FaultKind, const char*>, 15> kNames{{
    {FaultKind::Status, "status"},
    {FaultKind::Late, "late"},
    {FaultKind::Missing, "missing"},
    {FaultKind::Duplicate, "duplicate"},
    {FaultKind::Mismatch, "mismatch"},
    {FaultKind::MessagesBefore, "messages-before"},
    {FaultKind::BadChecksum, "bad-checksum"},
    {FaultKind::HostileDataLength, "hostile-data-length"},
    {FaultKind::HostileDdcLength, "hostile-ddc-length"},
    {FaultKind::WriteFailure, "write-failure"},
    {FaultKind::Vanish, "vanish"},
    {FaultKind::Pass, "pass"},
    {FaultKind::VendorCode, "vendor-code"},
    {FaultKind::FailureFlag, "failure-flag"},
    {FaultKind::WrongEcho, "wrong-echo"},
}};

bool IsReplyFault(FaultKind kind) { return kind != FaultKind::WriteFailure && kind != FaultKind::Vanish; }

}  // namespace

const char* FaultKindName(FaultKind kind) {
  for (const auto& [k, name] : kNames)
    if (k == kind) return name;
  return "unknown";
}

std::optional<FaultKind> FaultKindFromName(const std::string& name) {
  for (const auto& [kind, n] : kNames)
    if (name == n) return kind;
  return std::nullopt;
}

void FaultQueue::Push(const Fault& fault) {
  if (fault.count > 0) m_faults.push_back(fault);
}

template <typename Applies>
std::optional<Fault> FaultQueue::Take(Applies applies) {
  for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
    if (!applies(it->kind)) continue;
    Fault fault = *it;
    if (--it->count == 0) m_faults.erase(it);
    return fault;
  }
  return std::nullopt;
}

bool FaultQueue::TakeWriteFailure() {
  return Take([](FaultKind kind) { return kind == FaultKind::WriteFailure; }).has_value();
}

bool FaultQueue::TakeVanish() {
  for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
    if (it->kind != FaultKind::Vanish) continue;
    if (it->value > 1) {
      --it->value;
      return false;
    }
    m_faults.erase(it);
    return true;
  }
  return false;
}

std::vector<Outgoing> FaultQueue::Shape(Reply reply) {
  std::optional<Fault> fault = Take(IsReplyFault);
  if (!fault) return {{EncodeReply(reply)}};
  std::vector<std::uint8_t>& frame = reply.payload;
  switch (fault->kind) {
    case FaultKind::Status:
      reply.header.param1 = fault->value;
      frame.clear();
      break;
    case FaultKind::Late:
      return {{EncodeReply(reply), fault->value > 1 ? fault->value - 1 : 0}};
    case FaultKind::Missing:
      return {};
    case FaultKind::Duplicate:
      return {{EncodeReply(reply)}, {EncodeReply(reply)}};
    case FaultKind::Mismatch:
      reply.header.cmdID = ~reply.header.cmdID;
      break;
    case FaultKind::MessagesBefore: {
      std::vector<Outgoing> out(fault->value, Outgoing{EncodeReply(MessageReply(fault->message))});
      out.push_back({EncodeReply(reply)});
      return out;
    }
    case FaultKind::BadChecksum:
      if (!frame.empty()) frame.back() ^= 0xFF;
      break;
    case FaultKind::HostileDataLength:
      reply.claimedDataLength = fault->value;
      break;
    case FaultKind::HostileDdcLength:
      if (frame.size() >= 3) {
        frame[1] = static_cast<std::uint8_t>(fault->value);
        frame.back() = XorOf(frame.data(), frame.size() - 1, kReplyChecksumSeed);
      }
      break;
    case FaultKind::VendorCode:
      RewriteReplyByte(frame, kVendorDataByte, static_cast<std::uint8_t>(fault->value));
      break;
    case FaultKind::FailureFlag:
      RewriteReplyByte(frame, kVendorDataByte + 2, 1);
      break;
    case FaultKind::WrongEcho:
      if (frame.size() > kVendorEchoByte) RewriteReplyByte(frame, kVendorEchoByte, frame[kVendorEchoByte] ^ 0xFF);
      break;
    case FaultKind::WriteFailure:
    case FaultKind::Vanish:
    case FaultKind::Pass:
      break;
  }
  return {{EncodeReply(reply)}};
}

}  // namespace monsim
