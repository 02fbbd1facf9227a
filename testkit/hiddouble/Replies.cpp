#include "testkit/hiddouble/Replies.h"

#include "moncontrol/transport/Signature.h"

namespace testkit {
namespace {

tagMCCMD_RECEIVE_HEADER EchoHeader(const tagMCCMD_HEADER& request, std::uint32_t status) {
  tagMCCMD_RECEIVE_HEADER header{};
  header.cmdID = request.cmdID;
  header.cmdType = request.cmdType;
  header.param1 = status;
  header.param2 = request.param2;
  header.param3 = request.param3;
  header.param4 = request.param4;
  return header;
}

}  // namespace

Bytes MessageBytes(const tagMCCMD_RECEIVE_HEADER& header, const Bytes& payload,
                   std::optional<std::uint32_t> claimedLength) {
  tagMCCMD_RECEIVE_HEADER stored = header;
  stored.dataLength = claimedLength.value_or(static_cast<std::uint32_t>(payload.size()));
  Bytes bytes(kMccmdReceiveHeaderSize);
  StoreMccmdReceiveHeader(stored, bytes.data());
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

Responder ReplyStatus(std::uint32_t status, Bytes payload) {
  return [status, payload](const tagMCCMD_HEADER& request, const Bytes&) {
    return std::vector<ScriptedMessage>{{0, MessageBytes(EchoHeader(request, status), payload)}};
  };
}

Responder ReplyForOtherCommand(std::uint32_t status) {
  return [status](const tagMCCMD_HEADER& request, const Bytes&) {
    tagMCCMD_RECEIVE_HEADER header = EchoHeader(request, status);
    header.cmdID = request.cmdID ^ 0x00FF0000u;
    return std::vector<ScriptedMessage>{{0, MessageBytes(header, {})}};
  };
}

Responder ReplyClaimingLength(std::uint32_t dataLength, Bytes payload) {
  return [dataLength, payload](const tagMCCMD_HEADER& request, const Bytes&) {
    return std::vector<ScriptedMessage>{
        {0, MessageBytes(EchoHeader(request, HID_ACK_SUCCESS), payload, dataLength)}};
  };
}

Responder Unsolicited(std::uint32_t funcCode, std::uint32_t subCode) {
  return [funcCode, subCode](const tagMCCMD_HEADER&, const Bytes&) {
    return std::vector<ScriptedMessage>{UnsolicitedMessage(funcCode, subCode)};
  };
}

Responder Together(Responder first, Responder then) {
  return [first, then](const tagMCCMD_HEADER& request, const Bytes& bytes) {
    std::vector<ScriptedMessage> messages = first(request, bytes);
    for (ScriptedMessage& m : then(request, bytes)) messages.push_back(std::move(m));
    return messages;
  };
}

Responder Late(int timeouts, Responder then) {
  return [timeouts, then](const tagMCCMD_HEADER& request, const Bytes& bytes) {
    std::vector<ScriptedMessage> messages = then(request, bytes);
    if (!messages.empty()) messages.front().timeoutsBefore += timeouts;
    return messages;
  };
}

Responder Trickled(std::size_t bytesPerReport, int timeouts, Responder then) {
  return [bytesPerReport, timeouts, then](const tagMCCMD_HEADER& request, const Bytes& bytes) {
    std::vector<ScriptedMessage> messages = then(request, bytes);
    for (ScriptedMessage& message : messages) {
      message.bytesPerReport = bytesPerReport;
      message.timeoutsBefore = timeouts;
    }
    return messages;
  };
}

Responder NoReply() {
  return [](const tagMCCMD_HEADER&, const Bytes&) { return std::vector<ScriptedMessage>{}; };
}

ScriptedMessage UnsolicitedMessage(std::uint32_t funcCode, std::uint32_t subCode, Bytes payload) {
  tagMCCMD_RECEIVE_HEADER header{};
  header.cmdType = MCCMD_TYPE_MESSAGE;
  header.param1 = funcCode;
  header.param2 = subCode;
  return {0, MessageBytes(header, payload)};
}

}  // namespace testkit

testkit::Bytes SignedRequest(std::uint32_t cmdID, std::uint32_t param1, std::uint32_t param2,
                             const testkit::Bytes& payload) {
  tagMCCMD_HEADER header{};
  header.dataLength = static_cast<std::uint32_t>(payload.size());
  header.cmdID = cmdID;
  header.cmdType = MCCMD_TYPE_DDCCI;
  header.param1 = param1;
  header.param2 = param2;
  testkit::Bytes request(kMccmdHeaderSize);
  StoreMccmdHeader(header, request.data());
  request.insert(request.end(), payload.begin(), payload.end());
  SignCmdHeader(request.data());
  return request;
}
