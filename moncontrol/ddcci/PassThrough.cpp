#include <cstring>

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciExchange.h"

namespace {

constexpr std::size_t kBufferSize = 1024;

}  // namespace

std::int32_t SEND_CMD_DDCCI(mchid::hid_device* handle, std::uint32_t frameLength, std::uint32_t* replyLength,
                            const std::uint8_t* frame, std::uint8_t* reply) {
  if ((frame == nullptr && frameLength != 0) || replyLength == nullptr || reply == nullptr) return MC_ERR_INVALID_ARG;
  if (frameLength > kPassThroughMaxFrame) {
    LogError(L"SEND_CMD_DDCCI frame of %lu bytes is longer than %lu", frameLength, kPassThroughMaxFrame);
    return MC_ERR_INVALID_ARG;
  }
  DeviceLock lock(handle);
  if (!lock.IsLocked()) return MC_ERR_MUTEX;
  DdcciExchange exchange(kBufferSize, static_cast<std::int32_t>(kBufferSize));
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;

  std::int32_t result = exchange.Send(handle, {frame, frameLength}, false);
  if (result != 0) {
    LogWarn(L"SEND_CMD_DDCCI failed: %d", result);
    return MC_ERR_BAD_REPLY;
  }
  auto answer = exchange.ReplyFrame(L"SEND_CMD_DDCCI");
  if (!answer || answer->empty()) return MC_ERR_BAD_REPLY;
  std::memcpy(reply, answer->data(), answer->size());
  *replyLength = static_cast<std::uint32_t>(answer->size());
  return MC_OK;
}
