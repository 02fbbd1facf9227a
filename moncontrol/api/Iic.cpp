#include <algorithm>
#include <cstring>

#include "foundation/log/Log.h"
#include "moncontrol/api/FunctionCallExchange.h"
#include "moncontrol/api/IicApi.h"
#include "moncontrol/api/StatusCodes.h"

namespace {

// Has no effect on the transport's reads; what the I2C commands pass.
constexpr std::int32_t kIicTimeoutMs = 1000;
constexpr std::uint32_t kIicRead = 0;
constexpr std::uint32_t kIicWrite = 1;

}  // namespace

std::int32_t ReadIIC(mchid::hid_device* handle, std::int32_t slave, std::uint16_t offset, std::int32_t count,
                     std::uint32_t capacity, void* buffer) {
  if (buffer == nullptr && capacity != 0) return MC_ERR_INVALID_ARG;
  // Room for the reply to the count asked for even when the caller keeps less of it; no reply
  // carries more data than a request could.
  const std::uint32_t room =
      std::min(std::max(capacity, static_cast<std::uint32_t>(std::max(count, 0))), kRequestMaxData);
  FunctionCallExchange exchange(kMccmdHeaderSize + room);
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;
  exchange.Prepare({MCCMD_TYPE_IIC, static_cast<std::uint32_t>(slave), offset, static_cast<std::uint32_t>(count),
                    kIicRead},
                   nullptr, 0);
  std::int32_t result = exchange.Exchange(handle, kIicTimeoutMs);
  if (result != 0) {
    LogWarn(L"ReadIIC failed: %d", result);
    return MC_ERR_READ_FAILED;
  }
  auto data = exchange.ReplyData(L"ReadIIC");
  if (!data) return MC_ERR_READ_FAILED;
  const std::size_t delivered = std::min<std::size_t>(data->size(), capacity);
  if (delivered != 0) std::memcpy(buffer, data->data(), delivered);
  return static_cast<std::int32_t>(delivered);
}

std::int32_t WriteIIC(mchid::hid_device* handle, std::int32_t slave, std::uint16_t offset, std::int32_t argument,
                      std::uint32_t length, const void* data) {
  if (data == nullptr && length != 0) return MC_ERR_INVALID_ARG;
  if (!FitsRequest(length, kExchangeMaxData, L"WriteIIC")) return MC_ERR_INVALID_ARG;
  FunctionCallExchange exchange(kMccmdHeaderSize + length);
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;
  exchange.Prepare({MCCMD_TYPE_IIC, static_cast<std::uint32_t>(slave), offset, static_cast<std::uint32_t>(argument),
                    kIicWrite},
                   data, length);
  return exchange.Exchange(handle, kIicTimeoutMs);
}
