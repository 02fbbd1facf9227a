#include <algorithm>
#include <cstdlib>
#include <memory>

#include "foundation/log/Log.h"
#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/FunctionCallExchange.h"
#include "moncontrol/api/StatusCodes.h"
#if !defined(TARVIK_MACOS)
#include "moncontrol/hid/HidDevice.h"
#endif

namespace {

constexpr int kFailuresAllowed = 3;
// The high half of param4 that marks the last chunk; the low half holds the total.
constexpr std::uint32_t kLastChunk = 0xFFFF0000;
constexpr std::uint32_t kMaxSplitTotal = 0xFFFF;
#if defined(TARVIK_MACOS)
// The macOS layer does not learn the report length: every exchange is a 65-byte report with
// at most 32 bytes of data.
constexpr std::uint32_t kMacReportLength = 65;
constexpr std::uint32_t kMacChunkRoom = 32;
#endif

struct FreeDeleter {
  void operator()(std::uint8_t* data) const { std::free(data); }
};
using CallerBuffer = std::unique_ptr<std::uint8_t, FreeDeleter>;

std::uint32_t ChunkParam4(std::uint32_t total, std::uint32_t offset, bool last) {
  return total | (last ? kLastChunk : offset << 16);
}

}  // namespace

std::uint8_t* CallFunctionBySplit(mchid::hid_device* handle, std::int32_t functionCode, std::int32_t* param2,
                                  std::int32_t* param3, std::int32_t* param4, std::uint32_t sendLength,
                                  std::int32_t* replyLength, const void* sendData, std::int32_t* status,
                                  std::int32_t timeout) {
  if (handle == nullptr) {
    SetOut(status, MC_ERR_NULL_DEVICE);
    return nullptr;
  }
  SetOut(status, MC_OK);
  const std::uint32_t total = sendLength;
  if (total == 0) return nullptr;

#if defined(TARVIK_MACOS)
  const std::uint32_t reportLength = kMacReportLength;
  const std::uint32_t chunkRoom = kMacChunkRoom;
#else
  const std::uint32_t reportLength = handle->connection->Collection().output_report_length;
  if (reportLength <= kMccmdHeaderSize) {
    LogWarn(L"CallFunctionBySplit output reports of %lu bytes leave no room for data", reportLength);
    SetOut(status, MC_ERR_INVALID_ARG);
    return nullptr;
  }
  // Each request fills at most one output report, and the transport writes no longer ones.
  const std::uint32_t chunkRoom = std::min<std::uint32_t>(reportLength - kMccmdHeaderSize, kExchangeMaxData);
#endif
  if (total > kMaxSplitTotal) {
    LogWarn(L"CallFunctionBySplit total of %lu bytes does not fit 16 bits", total);
    SetOut(status, MC_ERR_INVALID_ARG);
    return nullptr;
  }
  FunctionCallExchange exchange(reportLength);
  if (!exchange.IsAllocated()) {
    SetOut(status, MC_ERR_NO_MEMORY);
    return nullptr;
  }

  const auto* data = static_cast<const std::uint8_t*>(sendData);
  const std::uint32_t keptParam3 = InValue(param3);
  CallerBuffer reply;
  std::int32_t lastFailure = MC_OK;
  std::uint32_t offset = 0;
  int failures = 0;
  while (offset < total && failures < kFailuresAllowed) {
    const std::uint32_t remaining = total - offset;
    const std::uint32_t chunk = std::min(chunkRoom, remaining);
    exchange.Prepare({MCCMD_TYPE_FUNCTION, static_cast<std::uint32_t>(functionCode), InValue(param2), keptParam3,
                      ChunkParam4(total, offset, chunk == remaining)},
                     data != nullptr ? data + offset : nullptr, chunk);
    std::int32_t result = exchange.Exchange(handle, timeout);
    auto replyData = result == 0 ? exchange.ReplyData(L"CallFunctionBySplit") : std::nullopt;
    if (!replyData) {
      lastFailure = result != 0 ? result : MC_ERR_READ_FAILED;
      ++failures;
      LogWarn(L"CallFunctionBySplit chunk at %lu failed (%d), failure %d of %d", offset, lastFailure, failures,
              kFailuresAllowed);
      offset = 0;
      reply.reset();
      continue;
    }
    reply.reset(CopyForCaller(*replyData));
    if (!reply && !replyData->empty()) {
      LogError(L"CallFunctionBySplit cannot keep the reply's %lu data bytes",
               static_cast<std::uint32_t>(replyData->size()));
      SetOut(status, MC_ERR_NO_MEMORY);
      return nullptr;
    }
    // The monitor's param2 goes out with the next chunk.
    ReturnReplyFields(exchange.ReplyHeader(), param2, param3, param4, replyLength);
    offset += chunk;
  }
  if (offset < total) {
    SetOut(status, lastFailure);
    return nullptr;
  }
  return reply.release();
}
