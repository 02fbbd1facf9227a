#include "testkit/monsim/handlers/FunctionHandler.h"

#include <cstdint>

namespace monsim {
namespace {

constexpr std::uint32_t kLastChunk = 0xFFFF;

FunctionCall CallOf(const Request& request) {
  const tagMCCMD_HEADER& h = request.header;
  return {h.param1, h.param2, h.param3, h.param4, request.payload};
}

// Takes the call and answers it as the function's definition says.
Reply Take(const Request& request, FunctionCall call, const FunctionDefinition& definition, Functions& functions) {
  Reply reply = AcceptedReply(request, definition.data);
  reply.header.param2 = definition.param2.value_or(call.param2);
  reply.header.param3 = definition.param3.value_or(call.param3);
  reply.header.param4 = definition.param4.value_or(call.param4);
  functions.calls.push_back(std::move(call));
  return reply;
}

// A chunk received but the call not yet complete: its own values come back.
Reply Acknowledge(const Request& request) {
  Reply reply = AcceptedReply(request, {});
  reply.header.param2 = request.header.param2;
  reply.header.param3 = request.header.param3;
  reply.header.param4 = request.header.param4;
  return reply;
}

std::uint32_t TotalOf(std::uint32_t param4) { return param4 & 0xFFFF; }

// Whether the chunk continues the transfer under way: same function, total and param3.
bool Continues(const std::optional<FunctionCall>& transfer, const FunctionCall& chunk) {
  return transfer && transfer->code == chunk.code && TotalOf(transfer->param4) == TotalOf(chunk.param4) &&
         transfer->param3 == chunk.param3;
}

Reply AnswerChunk(const Request& request, const FunctionDefinition& definition, Functions& functions) {
  FunctionCall chunk = CallOf(request);
  const std::uint32_t total = TotalOf(chunk.param4);
  const std::uint32_t position = chunk.param4 >> 16;
  std::optional<FunctionCall>& transfer = functions.transfer;
  if (chunk.data.empty()) {
    transfer.reset();
    return RefusedReply(request, kStatusRejected);
  }
  if (position == kLastChunk) {
    if (Continues(transfer, chunk) && transfer->data.size() + chunk.data.size() == total) {
      transfer->data.insert(transfer->data.end(), chunk.data.begin(), chunk.data.end());
      chunk.data = std::move(transfer->data);
    } else if (chunk.data.size() != total) {
      transfer.reset();
      return RefusedReply(request, kStatusRejected);
    }
    transfer.reset();
    return Take(request, std::move(chunk), definition, functions);
  }
  if (position == 0 && chunk.data.size() < total) {
    transfer = std::move(chunk);
    return Acknowledge(request);
  }
  if (position != 0 && Continues(transfer, chunk) && position == transfer->data.size() &&
      position + chunk.data.size() < total) {
    transfer->data.insert(transfer->data.end(), chunk.data.begin(), chunk.data.end());
    return Acknowledge(request);
  }
  transfer.reset();
  return RefusedReply(request, kStatusRejected);
}

}  // namespace

Reply AnswerFunctionRequest(const Request& request, Functions& functions) {
  const std::uint32_t code = request.header.param1;  // out of the packed header before binding
  auto found = functions.definitions.find(code);
  if (found == functions.definitions.end()) return RefusedReply(request, kStatusUnsupported);
  const FunctionDefinition& definition = found->second;
  switch (definition.transfer) {
    case FunctionTransfer::Split:
      return AnswerChunk(request, definition, functions);
    case FunctionTransfer::NoReply: {
      functions.calls.push_back(CallOf(request));
      Reply reply;
      reply.unanswered = true;
      return reply;
    }
    case FunctionTransfer::Whole:
      break;
  }
  return Take(request, CallOf(request), definition, functions);
}

}  // namespace monsim
