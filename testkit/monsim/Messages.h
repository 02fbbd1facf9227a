// Requests as the simulated monitor receives them, and the replies and unsolicited messages
// it sends back, in their byte form on the command channel.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "moncontrol/transport/CommandHeader.h"

namespace monsim {

// Reply statuses of the simulated firmware (0 is HID_ACK_SUCCESS).
inline constexpr std::uint32_t kStatusRejected = 1;     // bad signature, frame or length: resend
inline constexpr std::uint32_t kStatusUnsupported = 2;  // a command type this firmware lacks

// The funcCode of the message a monitor sends when a VCP value changed on it.
inline constexpr std::uint32_t kFuncCodeVcpChanged = 38;

struct Request {
  tagMCCMD_HEADER header{};
  std::vector<std::uint8_t> payload;
};

struct Reply {
  tagMCCMD_RECEIVE_HEADER header{};  // dataLength is taken from the payload when encoded
  std::vector<std::uint8_t> payload;
  // Sent in place of the true dataLength (a hostile reply); the signature covers the truth.
  std::optional<std::uint32_t> claimedDataLength;
  // The request is one the monitor never answers: nothing goes out.
  bool unanswered = false;
};

struct DeviceMessage {
  std::uint32_t funcCode = kFuncCodeVcpChanged;
  std::uint32_t subCode = 0;
  std::uint32_t param3 = 0;
  std::uint32_t param4 = 0;
  std::vector<std::uint8_t> data;
};

// A complete request: header (report ID first) and exactly dataLength payload bytes.
Request ParseRequest(const std::vector<std::uint8_t>& bytes);
bool HasValidSignature(const std::vector<std::uint8_t>& requestBytes);

// An answer to the request carrying status 0 and this payload.
Reply AcceptedReply(const Request& request, std::vector<std::uint8_t> payload);
Reply RefusedReply(const Request& request, std::uint32_t status);
Reply MessageReply(const DeviceMessage& message);

// The 32-byte received header and the payload, signed as the firmware signs requests.
std::vector<std::uint8_t> EncodeReply(const Reply& reply);

}  // namespace monsim
