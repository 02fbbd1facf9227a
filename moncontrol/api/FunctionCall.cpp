#include <algorithm>

#include "foundation/log/Log.h"
#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/FunctionCallExchange.h"
#include "moncontrol/api/StatusCodes.h"

std::uint8_t* CallFunction(mchid::hid_device* handle, std::int32_t functionCode, std::int32_t* param2,
                           std::int32_t* param3, std::int32_t* param4, std::uint32_t sendLength,
                           std::int32_t* replyLength, const void* sendData, std::int32_t* status,
                           std::int32_t timeout) {
  if (handle == nullptr) {
    SetOut(status, MC_ERR_NULL_DEVICE);
    return nullptr;
  }
  if (!FitsRequest(sendLength, kExchangeMaxData, L"CallFunction")) {
    SetOut(status, MC_ERR_INVALID_ARG);
    return nullptr;
  }
  FunctionCallExchange exchange(kMccmdHeaderSize + std::max(sendLength, kFunctionReplyRoom));
  if (!exchange.IsAllocated()) {
    SetOut(status, MC_ERR_NO_MEMORY);
    return nullptr;
  }
  exchange.Prepare({MCCMD_TYPE_FUNCTION, static_cast<std::uint32_t>(functionCode), InValue(param2), InValue(param3),
                    InValue(param4)},
                   sendData, sendLength);
  std::int32_t result = exchange.Exchange(handle, timeout);
  if (result != 0) {
    SetOut(status, result);
    return nullptr;
  }
  auto data = exchange.ReplyData(L"CallFunction");
  if (!data) {
    SetOut(status, MC_ERR_READ_FAILED);
    return nullptr;
  }
  std::uint8_t* copy = CopyForCaller(*data);
  if (copy == nullptr && !data->empty()) {
    // The monitor's answer would be lost: not a success.
    LogError(L"CallFunction cannot keep the reply's %lu data bytes", static_cast<std::uint32_t>(data->size()));
    SetOut(status, MC_ERR_NO_MEMORY);
    return nullptr;
  }
  ReturnReplyFields(exchange.ReplyHeader(), param2, param3, param4, replyLength);
  SetOut(status, MC_OK);
  return copy;
}

void CallFunctionNoReply(mchid::hid_device* handle, std::int32_t functionCode, std::int32_t* param2,
                         std::int32_t* param3, std::int32_t* param4, std::uint32_t sendLength, std::int32_t*,
                         const void* sendData, std::int32_t* status, std::int32_t timeout) {
  if (handle == nullptr) {
    SetOut(status, MC_ERR_NULL_DEVICE);
    return;
  }
  if (!FitsRequest(sendLength, kRequestMaxData, L"CallFunctionNoReply")) {
    SetOut(status, MC_ERR_INVALID_ARG);
    return;
  }
  // Nothing comes back, so the buffer holds the request alone.
  FunctionCallExchange exchange(kMccmdHeaderSize + sendLength);
  if (!exchange.IsAllocated()) {
    SetOut(status, MC_ERR_NO_MEMORY);
    return;
  }
  exchange.Prepare({MCCMD_TYPE_FUNCTION, static_cast<std::uint32_t>(functionCode), InValue(param2), InValue(param3),
                    InValue(param4)},
                   sendData, sendLength);
#if defined(TARVIK_MACOS)
  LogInfo(L"CallFunctionNoReply SendCommandNoReply Start");
#endif
  std::int32_t result = exchange.WriteWithoutReply(handle, timeout);
  LogInfo(L"CallFunctionNoReply SendCommandNoReply RET=%d", result);
  SetOut(status, result);
}
