#include <cstdlib>

#include "foundation/log/Log.h"
#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/FunctionCallExchange.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/api/VersionsApi.h"
#include "moncontrol/transport/ByteOrder.h"

namespace {

constexpr std::int32_t kFunctionMonCtrlVersion = 6;
constexpr std::int32_t kMonCtrlVersionTimeoutMs = 80;
constexpr std::int32_t kVersionBytes = 4;

}  // namespace

std::int32_t GetMonCtrlVersion(mchid::hid_device* handle, std::int32_t* version) {
  if (version == nullptr) return MC_ERR_INVALID_ARG;
  std::int32_t param2 = 0;
  std::int32_t param3 = 0;
  std::int32_t param4 = 0;
  std::int32_t replyLength = 0;
  std::int32_t status = MC_OK;
  std::uint8_t* data = CallFunction(handle, kFunctionMonCtrlVersion, &param2, &param3, &param4, 0, &replyLength,
                                    nullptr, &status, kMonCtrlVersionTimeoutMs);
  if (status == MC_OK) {
    if (data != nullptr && replyLength >= kVersionBytes) {
      *version = static_cast<std::int32_t>(LoadUInt32LE(data));
    } else {
      LogWarn(L"GetMonCtrlVersion reply brings %d data bytes, not %d", replyLength, kVersionBytes);
      status = MC_ERR_BAD_REPLY;
    }
  }
  std::free(data);
  return status;
}

std::int32_t GetMCUVersion(mchid::hid_device* handle, std::int32_t code, std::int32_t value, std::int32_t* version,
                           std::int32_t timeout) {
  if (handle == nullptr || version == nullptr) return MC_ERR_INVALID_ARG;
  // The reply may bring one report's worth of data besides its header.
  FunctionCallExchange exchange(kMccmdHeaderSize + kMccmdReportPayload);
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;
  exchange.Prepare({MCCMD_TYPE_FUNCTION, static_cast<std::uint32_t>(code), static_cast<std::uint32_t>(value), 0, 0},
                   nullptr, 0);
  std::int32_t result = exchange.Exchange(handle, timeout);
  if (result != 0) {
    LogWarn(L"GetMCUVersion failed: %d", result);
    return MC_ERR_MCU_VERSION;
  }
  *version = static_cast<std::int32_t>(exchange.ReplyHeader().param3);
  return MC_OK;
}
