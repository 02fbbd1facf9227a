// Building blocks of scripted answers.
#pragma once

#include <cstdint>
#include <optional>

#include "testkit/hiddouble/ScriptedHidDevice.h"

namespace testkit {

// A reply or message: header (signature 0) and payload; dataLength is the payload's size
// unless claimedLength says otherwise.
Bytes MessageBytes(const tagMCCMD_RECEIVE_HEADER& header, const Bytes& payload,
                   std::optional<std::uint32_t> claimedLength = std::nullopt);

// The request's own ID, type and parameters, with status in param1.
Responder ReplyStatus(std::uint32_t status, Bytes payload = {});
// As ReplyStatus, but for another command (its cmdID differs).
Responder ReplyForOtherCommand(std::uint32_t status = 0);
// A successful reply whose header claims dataLength bytes but brings only payload.
Responder ReplyClaimingLength(std::uint32_t dataLength, Bytes payload = {});
// An unsolicited message (cmdType 5) in place of a reply.
Responder Unsolicited(std::uint32_t funcCode = 0x10, std::uint32_t subCode = 0x01);
// The messages of first, then those of then, in answer to one request.
Responder Together(Responder first, Responder then);
// The answer's first report comes only after this many reads have timed out.
Responder Late(int timeouts, Responder then);
// Every message of then trickled: reports of bytesPerReport bytes, each after timeouts reads
// that time out.
Responder Trickled(std::size_t bytesPerReport, int timeouts, Responder then);
Responder NoReply();

// An unsolicited message with these fields.
ScriptedMessage UnsolicitedMessage(std::uint32_t funcCode, std::uint32_t subCode,
                                   Bytes payload = {});

}  // namespace testkit

// A signed DDC/CI request with this ID, these first two parameters and payload.
testkit::Bytes SignedRequest(std::uint32_t cmdID, std::uint32_t param1, std::uint32_t param2,
                             const testkit::Bytes& payload = {});
