#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciExchange.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

constexpr std::size_t kExchangeSize = 2096;
constexpr std::size_t kGatherSize = 64000;
constexpr std::uint32_t kChunkPauseMs = 500;
// A chunk: 6E, its byte count (all 8 bits of it), one byte, the bytes.
constexpr std::size_t kShortestReply = 5;
constexpr std::size_t kChunkCount = 1;
constexpr std::size_t kChunkData = 3;

}  // namespace

std::int32_t ReadTable(mchid::hid_device* handle, std::uint8_t arg1, std::uint8_t arg2, std::uint8_t arg3,
                       std::uint32_t* capacity, std::uint8_t* buffer) {
  if (capacity == nullptr || (buffer == nullptr && *capacity > 0)) return MC_ERR_INVALID_ARG;
  DeviceLock lock(handle);
  if (!lock.IsLocked()) return MC_ERR_MUTEX;
  DdcciExchange exchange(kExchangeSize, static_cast<std::int32_t>(kExchangeSize));
  std::unique_ptr<std::uint8_t[]> gathered(new (std::nothrow) std::uint8_t[kGatherSize]());
  if (!exchange.IsAllocated() || !gathered) return MC_ERR_NO_MEMORY;

  std::size_t length = 0;
  for (;;) {
    const auto request = TableReadFrame(arg1, arg2, arg3, static_cast<std::uint16_t>(length));
    if (exchange.Send(handle, request, false) != 0) break;
    const auto reply = exchange.ReplyFrame(L"ReadTable");
    if (!reply || reply->size() < kShortestReply) break;
    const std::size_t count = (*reply)[kChunkCount];
    if (count == 0) break;
    if (kChunkData + count > reply->size()) {
      LogError(L"ReadTable chunk at offset %lu claims %lu bytes in a reply of %lu bytes",
               static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(count),
               static_cast<std::uint32_t>(reply->size()));
      break;
    }
    const std::size_t n = std::min(count, kGatherSize - length);
    std::memcpy(gathered.get() + length, reply->data() + kChunkData, n);
    length += n;
    if (length == kGatherSize) {
      LogWarn(L"ReadTable table fills its %lu bytes; the read stops there", static_cast<std::uint32_t>(kGatherSize));
      break;
    }
    tarvik::SleepMs(kChunkPauseMs);
  }

  const std::size_t delivered = std::min<std::size_t>(length, *capacity);
  if (*capacity > 0) {
    std::memset(buffer, 0, *capacity);
    std::memcpy(buffer, gathered.get(), delivered);
  }
  return static_cast<std::int32_t>(delivered);
}
