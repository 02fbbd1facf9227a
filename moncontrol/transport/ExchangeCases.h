// The reply scripts of one SendCommand exchange and what each must give: the same table runs
// against the Windows and the macOS builds of the transport.
#pragma once

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "moncontrol/api/StatusCodes.h"
#include "testkit/hiddouble/Replies.h"

namespace exchange_cases {

using testkit::Bytes;
using testkit::Late;
using testkit::NoReply;
using testkit::ReplyClaimingLength;
using testkit::ReplyForOtherCommand;
using testkit::ReplyStatus;
using testkit::Responder;
using testkit::Together;
using testkit::Unsolicited;

inline constexpr std::uint32_t kCmdId = 0x12345601;
inline constexpr std::uint32_t kDdcciAddress = 0x6E;
inline constexpr std::uint32_t kHostAddress = 0x51;

inline std::vector<Responder> Times(int n, const Responder& responder) {
  return std::vector<Responder>(static_cast<std::size_t>(n), responder);
}

inline std::vector<Responder> Then(std::vector<Responder> first, const std::vector<Responder>& rest) {
  first.insert(first.end(), rest.begin(), rest.end());
  return first;
}

inline std::vector<long long> Repeat(const std::vector<long long>& pattern, int n) {
  std::vector<long long> sleeps;
  for (int i = 0; i < n; ++i) sleeps.insert(sleeps.end(), pattern.begin(), pattern.end());
  return sleeps;
}

inline Bytes Payload(std::size_t size) {
  Bytes payload(size);
  std::iota(payload.begin(), payload.end(), std::uint8_t{1});
  return payload;
}

inline Responder UnsolicitedFlood(int count, const Responder& then) {
  Responder flood = then;
  for (int i = 0; i < count; ++i) flood = Together(Unsolicited(), flood);
  return flood;
}

struct ExchangeCase {
  std::string name;
  std::vector<Responder> answers;
  std::int32_t expected;
  std::size_t sends;
  std::vector<long long> sleeps;
  std::int32_t received = 0;  // checked on success
  std::uint32_t param1 = kDdcciAddress;
  std::uint32_t param2 = kHostAddress;
  int failWrites = 0;
  std::int32_t bufLen = 128;
  // The script counts the reads that find nothing, which only a device read on demand can:
  // behind a report queue that a read thread fills, silence is measured in time.
  bool countsReads = false;
};

inline const std::vector<ExchangeCase> kExchanges = {
    {"AcceptedAtOnce", {ReplyStatus(0)}, 0, 1, {}, 64},
    {"LongReplyReadWhole", {ReplyStatus(0, Payload(90))}, 0, 1, {}, 122},
    {"UnsolicitedMessageSkipped", {Together(Unsolicited(), ReplyStatus(0))}, 0, 1, {}, 64},
    {"OtherCommandSkipped", {Together(ReplyForOtherCommand(), ReplyStatus(0))}, 0, 1, {}, 64},
    {"ReplyOnFifthRead", {Late(4 * 6, ReplyStatus(0))}, 0, 1, {}, 64, kDdcciAddress, kHostAddress, 0, 128, true},
    {"RefusedThenAccepted", {ReplyStatus(2), ReplyStatus(0)}, 0, 2, {100}, 64},
    {"FirstSendsWritesFail", {ReplyStatus(0)}, 0, 1, {}, 64, kDdcciAddress, kHostAddress, 10},
    {"HostileLengthThenReply", {Together(ReplyClaimingLength(5000), ReplyStatus(0))}, 0, 1, {}, 64},
    // After 21 skipping reads the 22nd message is evaluated; the resend's reads find the reply.
    {"UnsolicitedFloodBounded", {UnsolicitedFlood(25, ReplyStatus(0))}, 0, 2, {100}, 64},

    {"Status1", Times(5, ReplyStatus(1)), -1999, 5, Repeat({100}, 5)},
    {"Status2", Times(5, ReplyStatus(2)), -1998, 5, Repeat({100}, 5)},
    {"Status3Ddcci", Times(5, ReplyStatus(3)), -1997, 5, Repeat({1000, 100}, 5)},
    {"Status3Param1Is3", {ReplyStatus(3)}, -1997, 1, {1000}, 0, 3, 0},
    {"Status4Ddcci", {ReplyStatus(4)}, -1996, 1, {}},
    {"Status4Param2Is1", {ReplyStatus(4)}, -1996, 1, {}, 0, 3, 1},
    {"Status4Param2Is0", Times(5, ReplyStatus(4)), -1996, 5, Repeat({1000}, 5), 0, 3, 0},
    {"Status4Param2Is2", Times(5, ReplyStatus(4)), -1996, 5, Repeat({1000}, 5), 0, 3, 2},
    {"Status5Param2Is1", {ReplyStatus(5)}, -1995, 1, {}, 0, 3, 1},
    {"Status5Ddcci", Times(5, ReplyStatus(5)), -1995, 5, Repeat({1000}, 5)},
    {"Status6", Times(5, ReplyStatus(6)), -1994, 5, Repeat({1000}, 5)},
    {"Status7", Times(5, ReplyStatus(7)), -1993, 5, Repeat({100}, 5)},
    {"StatusMinus1", Times(5, ReplyStatus(0xFFFFFFFF)), -2001, 5, Repeat({100}, 5)},
    {"Status1999", Times(5, ReplyStatus(1999)), -1, 5, Repeat({100}, 5)},
    {"Status2000NotSuccess", Times(5, ReplyStatus(2000)), MC_ERR_BAD_REPLY, 5, Repeat({100}, 5)},
    {"StatusHugeNotPositive", Times(5, ReplyStatus(0x7FFFFFFF)), MC_ERR_BAD_REPLY, 5,
     Repeat({100}, 5)},
    {"StatusMostNegative", Times(5, ReplyStatus(0x80000000)), MC_ERR_BAD_REPLY, 5,
     Repeat({100}, 5)},
    {"LastRefusalDecides", Then({ReplyStatus(6)}, Times(4, ReplyStatus(2))), -1998, 5,
     {1000, 100, 100, 100, 100}},
    {"RefusalsInSmallBuffer", Times(5, ReplyStatus(1, Payload(20))), -1999, 5, Repeat({100}, 5), 0,
     kDdcciAddress, kHostAddress, 0, 37},

    {"OtherCommandEveryTime", Times(5, ReplyForOtherCommand()), -1999, 5, Repeat({100}, 5)},
    {"RefusedThenOtherCommand", Then({ReplyStatus(3)}, Times(4, ReplyForOtherCommand())), -1999,
     5, {1000, 100, 100, 100, 100, 100}},
    {"NoReply", {NoReply()}, MC_ERR_NO_REPLY, 1, {}},
    {"ReplyAfterFiveReads", {Late(5 * 6, ReplyStatus(0))}, MC_ERR_NO_REPLY, 1, {}, 0, kDdcciAddress, kHostAddress, 0,
     128, true},
    {"RefusedThenSilent", {ReplyStatus(1), NoReply()}, MC_ERR_NO_REPLY, 2, {100}},
    {"HostileLengthThenSilence", {ReplyClaimingLength(0xFFFFFFF0)}, MC_ERR_NO_REPLY, 1, {}},
    {"EveryWriteFails", {}, MC_ERR_STATUS_BASE + MC_ERR_NO_REPLY, 0, {}, 0, kDdcciAddress,
     kHostAddress, 50},
};

}  // namespace exchange_cases
