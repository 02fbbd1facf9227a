#include <algorithm>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciExchange.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

constexpr std::size_t kExchangeSize = 96;
constexpr std::uint32_t kChunkPauseMs = 500;
// A monitor that has gone away must not keep the call, and the device mutex, for ever.
constexpr int kChunkTries = 5;

}  // namespace

std::int32_t WriteTable(mchid::hid_device* handle, std::uint8_t vcp, std::uint32_t length, const std::uint8_t* data) {
  DeviceLock lock(handle);
  if (!lock.IsLocked()) return MC_ERR_MUTEX;
  if (data == nullptr || length == 0) return MC_ERR_INVALID_ARG;
  if (length > kMaxTableLength) {
    LogError(L"WriteTable of VCP 0x%02X: %lu bytes is longer than %lu", static_cast<unsigned>(vcp), length,
             kMaxTableLength);
    return MC_ERR_INVALID_ARG;
  }
  DdcciExchange exchange(kExchangeSize, static_cast<std::int32_t>(kExchangeSize));
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;

  std::uint32_t offset = 0;
  int failures = 0;
  while (offset < length) {
    const std::size_t n = std::min<std::size_t>(length - offset, kTableWriteChunk);
    const auto frame = TableWriteFrame(vcp, static_cast<std::uint16_t>(offset), {data + offset, n});
    const std::int32_t result = exchange.Send(handle, frame, true);
    tarvik::SleepMs(kChunkPauseMs);
    if (result == MC_OK) {
      offset += static_cast<std::uint32_t>(n);
      failures = 0;
    } else if (++failures == kChunkTries) {
      LogError(L"WriteTable of VCP 0x%02X: the chunk at offset %lu failed %d times, last with %d",
               static_cast<unsigned>(vcp), offset, kChunkTries, result);
      return result;
    }
  }
  return MC_OK;
}
