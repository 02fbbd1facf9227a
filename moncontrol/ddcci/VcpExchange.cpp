#include "moncontrol/ddcci/VcpExchange.h"

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciExchange.h"
#include "moncontrol/ddcci/DdcciFrame.h"
#include "moncontrol/transport/CommandHeader.h"

namespace {

// A request that sets a value goes in a buffer of this size, of which the transport gets
// the request's own length.
constexpr std::size_t kWriteBufferSize = 64;

}  // namespace

bool ParseGetVcpReply(std::span<const std::uint8_t> frame, std::uint8_t vcp, std::int32_t* current,
                      std::int32_t* maximum, const wchar_t* command) {
  if (frame.size() < kGetVcpReplyLength) {
    LogWarn(L"%s reply of %lu bytes is too short for VCP 0x%02X", command, static_cast<std::uint32_t>(frame.size()),
            static_cast<unsigned>(vcp));
    return false;
  }
  if (frame[2] != kOpGetVcp && frame[2] != kOpGetVcpReply) {
    LogWarn(L"%s reply for VCP 0x%02X has opcode 0x%02X", command, static_cast<unsigned>(vcp),
            static_cast<unsigned>(frame[2]));
    return false;
  }
  if (frame[4] != vcp) {
    LogWarn(L"%s reply is for VCP 0x%02X, not 0x%02X", command, static_cast<unsigned>(frame[4]),
            static_cast<unsigned>(vcp));
    return false;
  }
  if (XorChecksum(kReplyChecksumSeed, frame.data(), kGetVcpReplyLength - 1) != frame[kGetVcpReplyLength - 1]) {
    LogWarn(L"%s reply for VCP 0x%02X has a wrong checksum", command, static_cast<unsigned>(vcp));
    return false;
  }
  *maximum = frame[6] << 8 | frame[7];
  *current = frame[8] << 8 | frame[9];
  return true;
}

std::int32_t ReadVcpValue(mchid::hid_device* handle, std::span<const std::uint8_t> request, std::size_t bufferSize,
                          std::size_t replyOffset, std::uint8_t vcp, std::int32_t* current, std::int32_t* maximum,
                          const wchar_t* command) {
  if (current == nullptr || maximum == nullptr) return MC_ERR_INVALID_ARG;
  *current = 0;
  *maximum = 0;
  DeviceLock lock(handle);
  if (!lock.IsLocked()) return MC_ERR_MUTEX;
  DdcciExchange exchange(bufferSize, static_cast<std::int32_t>(bufferSize));
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;

  std::int32_t result = exchange.Send(handle, request, false);
  if (result != 0) {
    LogWarn(L"%s of VCP 0x%02X failed: %d", command, static_cast<unsigned>(vcp), result);
    return MC_ERR_BAD_REPLY;
  }
  auto reply = exchange.ReplyFrame(command);
  std::int32_t value = 0;
  std::int32_t limit = 0;
  if (!reply || reply->size() < replyOffset ||
      !ParseGetVcpReply(reply->subspan(replyOffset), vcp, &value, &limit, command)) {
    return MC_ERR_BAD_REPLY;
  }
  *current = value;
  *maximum = limit;
  return MC_OK;
}

std::int32_t WriteVcpValue(mchid::hid_device* handle, std::span<const std::uint8_t> request, const wchar_t* command) {
  DeviceLock lock(handle);
  if (!lock.IsLocked()) return MC_ERR_MUTEX;
  DdcciExchange exchange(kWriteBufferSize, static_cast<std::int32_t>(kMccmdHeaderSize + request.size()));
  if (!exchange.IsAllocated()) return MC_ERR_NO_MEMORY;
  std::int32_t result = exchange.Send(handle, request, true);
  if (result != 0) LogWarn(L"%s failed: %d", command, result);
  return result;
}
