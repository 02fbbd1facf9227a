#include "moncontrol/ddcci/vendor/VendorCommand.h"

#include <cstring>
#include <new>

#include "foundation/log/Log.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

// 6E len CE sub-command, then the data.
constexpr std::size_t kReplyDataOffset = 4;

// (length byte & 0x7F) - 2 data bytes: none for a reply without data (the null message has
// the length byte 0x80) or, logged, for one whose length byte claims more than arrived.
std::span<const std::uint8_t> ReplyData(std::span<const std::uint8_t> reply, std::uint8_t subCommand) {
  if (reply.size() < 2) return {};
  const int count = (reply[1] & 0x7F) - 2;
  if (count <= 0) return {};
  if (kReplyDataOffset + static_cast<std::size_t>(count) > reply.size()) {
    LogError(L"CallDdcciCmd 0x%02X reply's length byte 0x%02X claims %d data bytes in a reply of %lu bytes",
             static_cast<unsigned>(subCommand), static_cast<unsigned>(reply[1]), count,
             static_cast<std::uint32_t>(reply.size()));
    return {};
  }
  return reply.subspan(kReplyDataOffset, static_cast<std::size_t>(count));
}

}  // namespace

MallocBuffer AllocateZeroed(std::size_t size) { return MallocBuffer(static_cast<std::uint8_t*>(std::calloc(size, 1))); }

std::uint8_t* CallDdcciCmd(mchid::hid_device* handle, std::uint32_t* bufSize, std::uint8_t subCommand,
                           std::int32_t payloadLength, const std::uint8_t* payload) {
  if (bufSize == nullptr) return nullptr;
  *bufSize = 0;
  MallocBuffer result = AllocateZeroed(kVendorResultSize);
  std::unique_ptr<std::uint8_t[]> reply(new (std::nothrow) std::uint8_t[kVendorResultSize]());
  if (!result || !reply) return nullptr;
  if (payloadLength < 0 || static_cast<std::size_t>(payloadLength) > kVendorMaxPayload ||
      (payload == nullptr && payloadLength > 0)) {
    LogError(L"CallDdcciCmd 0x%02X payload of %d bytes does not fit a vendor frame", static_cast<unsigned>(subCommand),
             payloadLength);
    return result.release();
  }

  const auto frame = VendorRequestFrame(subCommand, {payload, static_cast<std::size_t>(payloadLength)});
  std::uint32_t replyLength = 0;
  if (SEND_CMD_DDCCI(handle, static_cast<std::uint32_t>(frame.size()), &replyLength, frame.data(), reply.get()) != 0)
    return result.release();
  const auto data = ReplyData({reply.get(), replyLength}, subCommand);
  if (!data.empty()) std::memcpy(result.get(), data.data(), data.size());
  *bufSize = static_cast<std::uint32_t>(data.size());
  return result.release();
}

VendorReply::VendorReply(mchid::hid_device* handle, std::uint8_t subCommand, std::span<const std::uint8_t> payload) {
  std::uint32_t size = 0;
  m_buffer.reset(CallDdcciCmd(handle, &size, subCommand, static_cast<std::int32_t>(payload.size()), payload.data()));
  if (m_buffer) m_size = size;
}
