#include "testkit/monsim/Messages.h"

#include <algorithm>

#include "moncontrol/transport/Signature.h"

namespace monsim {

Request ParseRequest(const std::vector<std::uint8_t>& bytes) {
  Request request;
  request.header = LoadMccmdHeader(bytes.data());
  request.payload.assign(bytes.begin() + kMccmdHeaderSize, bytes.end());
  return request;
}

bool HasValidSignature(const std::vector<std::uint8_t>& requestBytes) {
  std::vector<std::uint8_t> copy = requestBytes;
  if (SignCmdHeader(copy.data()) != 0) return false;
  return std::equal(copy.begin() + 1, copy.begin() + 5, requestBytes.begin() + 1);
}

Reply AcceptedReply(const Request& request, std::vector<std::uint8_t> payload) {
  Reply reply;
  reply.header.cmdID = request.header.cmdID;
  reply.header.cmdType = request.header.cmdType;
  reply.header.param1 = HID_ACK_SUCCESS;
  reply.payload = std::move(payload);
  return reply;
}

Reply RefusedReply(const Request& request, std::uint32_t status) {
  Reply reply = AcceptedReply(request, {});
  reply.header.param1 = status;
  return reply;
}

Reply MessageReply(const DeviceMessage& message) {
  Reply reply;
  reply.header.cmdType = MCCMD_TYPE_MESSAGE;
  reply.header.param1 = message.funcCode;
  reply.header.param2 = message.subCode;
  reply.header.param3 = message.param3;
  reply.header.param4 = message.param4;
  reply.payload = message.data;
  return reply;
}

std::vector<std::uint8_t> EncodeReply(const Reply& reply) {
  // Signed in the request layout, whose report-ID byte the received form does not carry.
  tagMCCMD_HEADER signedForm{};
  signedForm.dataLength = static_cast<std::uint32_t>(reply.payload.size());
  signedForm.cmdID = reply.header.cmdID;
  signedForm.cmdType = reply.header.cmdType;
  signedForm.param1 = reply.header.param1;
  signedForm.param2 = reply.header.param2;
  signedForm.param3 = reply.header.param3;
  signedForm.param4 = reply.header.param4;
  std::vector<std::uint8_t> bytes(kMccmdHeaderSize + reply.payload.size());
  StoreMccmdHeader(signedForm, bytes.data());
  std::copy(reply.payload.begin(), reply.payload.end(), bytes.begin() + kMccmdHeaderSize);
  SignCmdHeader(bytes.data());
  bytes.erase(bytes.begin());
  if (reply.claimedDataLength) {
    tagMCCMD_RECEIVE_HEADER header = LoadMccmdReceiveHeader(bytes.data());
    header.dataLength = *reply.claimedDataLength;
    StoreMccmdReceiveHeader(header, bytes.data());
  }
  return bytes;
}

}  // namespace monsim
