#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "foundation/log/Log.h"
#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/MonitorFeatureApi.h"
#include "moncontrol/transport/ByteOrder.h"

namespace {

constexpr std::int32_t kFunctionHpdStatus = 32;
constexpr std::int32_t kFunctionGsensorStatus = 33;
constexpr std::int32_t kStatusTimeoutMs = 1000;
constexpr std::size_t kHpdStatusLength = 4;

struct FreeDeleter {
  void operator()(std::uint8_t* data) const { std::free(data); }
};
using ReplyData = std::unique_ptr<std::uint8_t, FreeDeleter>;

// A status function: no arguments, no payload. The call's status, with the reply's data.
std::int32_t CallStatusFunction(mchid::hid_device* handle, std::int32_t functionCode, ReplyData& data,
                                std::size_t& length) {
  std::int32_t param2 = 0;
  std::int32_t param3 = 0;
  std::int32_t param4 = 0;
  std::int32_t replyLength = 0;
  std::int32_t status = MC_OK;
  data.reset(CallFunction(handle, functionCode, &param2, &param3, &param4, 0, &replyLength, nullptr, &status,
                          kStatusTimeoutMs));
  length = data ? static_cast<std::size_t>(std::max(replyLength, 0)) : 0;
  return status;
}

}  // namespace

std::int32_t GetHPDStatus(mchid::hid_device* handle, std::int32_t* status) {
  if (status == nullptr) return MC_ERR_INVALID_ARG;
  ReplyData data;
  std::size_t length = 0;
  std::int32_t result = CallStatusFunction(handle, kFunctionHpdStatus, data, length);
  if (result != MC_OK) return result;
  if (length < kHpdStatusLength) {
    LogWarn(L"GetHPDStatus reply brings %lu data bytes, not %lu", static_cast<std::uint32_t>(length),
            static_cast<std::uint32_t>(kHpdStatusLength));
    return MC_ERR_BAD_REPLY;
  }
  *status = static_cast<std::int32_t>(LoadUInt32LE(data.get()));
  return MC_OK;
}

std::int32_t GetGsensorStatus(mchid::hid_device* handle, void* status16) {
  if (status16 == nullptr) return MC_ERR_INVALID_ARG;
  ReplyData data;
  std::size_t length = 0;
  std::int32_t result = CallStatusFunction(handle, kFunctionGsensorStatus, data, length);
  if (result != MC_OK) return result;
  if (length == 0) {
    LogWarn(L"GetGsensorStatus reply brings no data");
    return MC_ERR_BAD_REPLY;
  }
  if (length > kGsensorStatusLength) {
    LogWarn(L"GetGsensorStatus reply brings %lu data bytes; the first %lu are kept", static_cast<std::uint32_t>(length),
            static_cast<std::uint32_t>(kGsensorStatusLength));
    length = kGsensorStatusLength;
  }
  auto* out = static_cast<std::uint8_t*>(status16);
  std::memcpy(out, data.get(), length);
  std::memset(out + length, 0, kGsensorStatusLength - length);
  return MC_OK;
}
