// What the I2C and function commands share: a request built in a heap buffer that its reply
// reuses, the exchange without the device mutex, and the reply's data as far as it arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "moncontrol/hid/HidApi.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/Signature.h"

// The header fields a command chooses; the command ID is drawn fresh for every request.
struct RequestFields {
  std::uint32_t cmdType = 0;
  std::uint32_t param1 = 0;
  std::uint32_t param2 = 0;
  std::uint32_t param3 = 0;
  std::uint32_t param4 = 0;
};

class FunctionCallExchange {
 public:
  // bufferSize must hold the longest request and reply and fit the transport's int32 length.
  explicit FunctionCallExchange(std::size_t bufferSize);
  bool IsAllocated() const { return m_buffer != nullptr; }
  std::int32_t Size() const { return static_cast<std::int32_t>(m_size); }

  // Writes the signed request to the front of the buffer: the header, then length bytes of
  // data, zeros where data is null. 0, or MC_ERR_INVALID_ARG when it does not fit.
  std::int32_t Prepare(const RequestFields& fields, const void* data, std::uint32_t length);
  // The prepared request through SendCommand: 0 with the reply in the buffer, or its code.
  std::int32_t Exchange(mchid::hid_device* device, std::int32_t timeoutMs);
  // The prepared request, header and payload only, through SendCommandNoReply.
  std::int32_t WriteWithoutReply(mchid::hid_device* device, std::int32_t timeoutMs);

  // After a successful Exchange.
  tagMCCMD_RECEIVE_HEADER ReplyHeader() const;
  // Every data byte the reply claims; none, logged with the command's name, when fewer arrived.
  std::optional<std::span<const std::uint8_t>> ReplyData(const wchar_t* command) const;

 private:
  std::unique_ptr<std::uint8_t[]> m_buffer;
  std::size_t m_size;
  std::int32_t m_received = 0;
};

// Longest data of a request that goes out in one exchange, and of any request at all.
inline constexpr std::uint32_t kExchangeMaxData = kWriteDataLimit - kMccmdHeaderSize;
inline constexpr std::uint32_t kRequestMaxData = kMaxSignedDataLength;

// False, logged with the command's name, when length data bytes exceed maxLength.
bool FitsRequest(std::uint32_t length, std::uint32_t maxLength, const wchar_t* command);

// A copy of the reply data for the caller, who frees it with free. Null when data is empty or
// memory runs out.
std::uint8_t* CopyForCaller(std::span<const std::uint8_t> data);

// A caller's in/out integer: a null one reads as 0 and receives nothing.
inline std::uint32_t InValue(const std::int32_t* value) {
  return value != nullptr ? static_cast<std::uint32_t>(*value) : 0;
}
inline void SetOut(std::int32_t* out, std::int32_t value) {
  if (out != nullptr) *out = value;
}
// The reply's param2 to param4 and data length, to the caller's integers.
void ReturnReplyFields(const tagMCCMD_RECEIVE_HEADER& reply, std::int32_t* param2, std::int32_t* param3,
                       std::int32_t* param4, std::int32_t* replyLength);
