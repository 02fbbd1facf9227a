#include "moncontrol/api/FunctionCallExchange.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/log/Log.h"
#include "moncontrol/api/CommandHeaderApi.h"
#include "moncontrol/api/StatusCodes.h"

FunctionCallExchange::FunctionCallExchange(std::size_t bufferSize)
    : m_buffer(new (std::nothrow) std::uint8_t[bufferSize]()), m_size(bufferSize) {}

std::int32_t FunctionCallExchange::Prepare(const RequestFields& fields, const void* data, std::uint32_t length) {
  if (length > kMaxSignedDataLength || kMccmdHeaderSize + std::size_t{length} > m_size) return MC_ERR_INVALID_ARG;
  std::uint8_t* buffer = m_buffer.get();
  tagMCCMD_HEADER header{};
  header.dataLength = length;
  header.cmdID = static_cast<std::uint32_t>(GetCmdID(1));
  header.cmdType = fields.cmdType;
  header.param1 = fields.param1;
  header.param2 = fields.param2;
  header.param3 = fields.param3;
  header.param4 = fields.param4;
  StoreMccmdHeader(header, buffer);
  if (data != nullptr) {
    std::memcpy(buffer + kMccmdHeaderSize, data, length);
  } else {
    std::memset(buffer + kMccmdHeaderSize, 0, length);
  }
  return SignCmdHeader(buffer);
}

std::int32_t FunctionCallExchange::Exchange(mchid::hid_device* device, std::int32_t timeoutMs) {
  m_received = 0;
  return SendCommand(device, Size(), m_buffer.get(), &m_received, timeoutMs);
}

std::int32_t FunctionCallExchange::WriteWithoutReply(mchid::hid_device* device, std::int32_t timeoutMs) {
  std::int32_t written = 0;
  return SendCommandNoReply(device, Size(), m_buffer.get(), &written, timeoutMs);
}

tagMCCMD_RECEIVE_HEADER FunctionCallExchange::ReplyHeader() const { return LoadMccmdReceiveHeader(m_buffer.get()); }

std::optional<std::span<const std::uint8_t>> FunctionCallExchange::ReplyData(const wchar_t* command) const {
  const std::uint32_t claimed = ReplyHeader().dataLength;
  // received never exceeds the buffer, so what arrived lies within it.
  const std::int64_t arrived = std::int64_t{m_received} - static_cast<std::int64_t>(kMccmdReceiveHeaderSize);
  if (arrived < 0 || claimed > arrived) {
    LogWarn(L"%s reply claims %lu data bytes but %lld arrived", command, claimed,
            static_cast<long long>(arrived < 0 ? 0 : arrived));
    return std::nullopt;
  }
  return std::span<const std::uint8_t>(m_buffer.get() + kMccmdReceiveHeaderSize, claimed);
}

bool FitsRequest(std::uint32_t length, std::uint32_t maxLength, const wchar_t* command) {
  if (length <= maxLength) return true;
  LogWarn(L"%s request of %lu data bytes is longer than %lu", command, length, maxLength);
  return false;
}

std::uint8_t* CopyForCaller(std::span<const std::uint8_t> data) {
  if (data.empty()) return nullptr;
  auto* copy = static_cast<std::uint8_t*>(std::malloc(data.size()));
  if (copy != nullptr) std::memcpy(copy, data.data(), data.size());
  return copy;
}

void ReturnReplyFields(const tagMCCMD_RECEIVE_HEADER& reply, std::int32_t* param2, std::int32_t* param3,
                       std::int32_t* param4, std::int32_t* replyLength) {
  SetOut(param2, static_cast<std::int32_t>(reply.param2));
  SetOut(param3, static_cast<std::int32_t>(reply.param3));
  SetOut(param4, static_cast<std::int32_t>(reply.param4));
  SetOut(replyLength, static_cast<std::int32_t>(reply.dataLength));
}
