#include <algorithm>
#include <new>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorCommand.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

// What the command hands out, and the room for each chunk's reply.
constexpr std::size_t kBufferSize = 6400;
constexpr std::uint32_t kChunkPauseMs = 500;

}  // namespace

std::uint8_t* CallDdcciWriteTableCmd(mchid::hid_device* handle, std::uint32_t* length, const std::uint8_t* data,
                                     std::uint8_t key, std::uint8_t arg1, std::uint8_t arg2) {
  if (length == nullptr || (data == nullptr && *length > 0)) return nullptr;
  if (*length > kMaxTableLength) {
    LogError(L"CallDdcciWriteTableCmd table 0x%02X of %lu bytes is longer than %lu", static_cast<unsigned>(key),
             *length, kMaxTableLength);
    return nullptr;
  }
  MallocBuffer result = AllocateZeroed(kBufferSize);
  std::unique_ptr<std::uint8_t[]> reply(new (std::nothrow) std::uint8_t[kBufferSize]);
  if (!result || !reply) return nullptr;

  const std::span<const std::uint8_t> table(data, *length);
  std::size_t offset = 0;
  do {
    const std::size_t n = std::min<std::size_t>(*length, kVendorTableWriteChunk);
    *length -= static_cast<std::uint32_t>(n);
    const auto frame = VendorTableWriteFrame(key, arg1, arg2, static_cast<std::uint16_t>(offset),
                                             table.subspan(offset, n));
    offset += n;
    // The monitor's answer is not examined, and a chunk never goes out twice.
    std::uint32_t replyLength = 0;
    SEND_CMD_DDCCI(handle, static_cast<std::uint32_t>(frame.size()), &replyLength, frame.data(), reply.get());
    tarvik::SleepMs(kChunkPauseMs);
  } while (*length > 0);
  return result.release();
}
