#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HeaderLog.h"
#include "moncontrol/transport/HidTransport.h"

namespace {

constexpr int kSends = 5;
constexpr int kReadsPerSend = 5;
constexpr int kMaxSkippingReads = 21;
// Stands for "the last reply was another command's" in the result, as status 1 does.
constexpr std::int64_t kMismatch = 1;

bool IsReplyTo(const tagMCCMD_RECEIVE_HEADER& message, std::uint32_t cmdID) {
  return message.cmdType != MCCMD_TYPE_MESSAGE && message.cmdID == cmdID;
}

void LogExchange(const wchar_t* sendPrefix, const wchar_t* recvPrefix, const std::uint8_t* request,
                 std::size_t requestLength, const std::uint8_t* message, std::int32_t bufLen) {
  LogSendHeader(LoadMccmdHeader(request));
  LogHexData(sendPrefix, request, requestLength);
  tagMCCMD_RECEIVE_HEADER header = LoadMccmdReceiveHeader(message);
  LogReceiveHeader(header);
  // The device's length is not followed past the buffer.
  std::uint64_t shown =
      std::min<std::uint64_t>(kMccmdReceiveHeaderSize + std::uint64_t{header.dataLength},
                              static_cast<std::uint64_t>(bufLen));
  LogHexData(recvPrefix, message, static_cast<std::size_t>(shown));
}

bool Passed(tarvik::Clock::TimePoint deadline) { return tarvik::CurrentClock().Now() >= deadline; }

// Up to five reads for the first message after a send; its byte count, or 0 for none.
std::int32_t WaitForMessage(mchid::hid_device* device, std::int32_t bufLen, std::uint8_t* buffer,
                            tarvik::Clock::TimePoint deadline) {
  for (int call = 1; call <= kReadsPerSend; ++call) {
    const int left = kReadsPerSend + 1 - call;
    if (call > 1) LogWarn(L"ReadData start retry = %d.", left);
    std::int32_t count = ReadDataBy(device, bufLen, buffer, kExchangeReadTimeoutMs, deadline);
    if (call > 1) LogWarn(L"ReadData  end  retry = %d.", left);
    if (count > 0) return count;
  }
  return 0;
}

// Reads past unsolicited messages and replies to other commands. False when a read failed,
// leaving no message to evaluate; count follows the last read.
bool SkipToReply(mchid::hid_device* device, std::int32_t bufLen, std::uint8_t* buffer,
                 const std::uint8_t* request, std::size_t requestLength, int sends,
                 tarvik::Clock::TimePoint deadline, std::int32_t& count) {
  const std::uint32_t cmdID = LoadMccmdHeader(request).cmdID;
  for (int reads = 0;; ++reads) {
    tagMCCMD_RECEIVE_HEADER message = LoadMccmdReceiveHeader(buffer);
    if (IsReplyTo(message, cmdID) || reads == kMaxSkippingReads) return true;
    if (message.cmdType != MCCMD_TYPE_MESSAGE) {
      LogWarn(L"reSend=%d,SendCommand cmdID != pReceiveCmdHeader->cmdID %lld , %lld", sends,
              static_cast<long long>(cmdID), static_cast<long long>(message.cmdID));
      LogExchange(L"SendCommand send:", L"SendCommand recv", request, requestLength, buffer,
                  bufLen);
    }
    std::int32_t r = ReadDataBy(device, bufLen, buffer, kExchangeReadTimeoutMs, deadline);
    if (r <= 0) {
      LogWarn(L"SendCommand cmdID != pReceiveCmdHeader->cmdID ReadData ret = %d", r);
      return false;
    }
    count = r;
  }
}

// Pauses as the refusal asks; true when the request is not to be sent again.
bool PauseAfterRefusal(std::int32_t status, const tagMCCMD_HEADER& request) {
  switch (status) {
    case 1:
    case 2:
      tarvik::SleepMs(100);
      return false;
    case 3:
      tarvik::SleepMs(1000);
      if (request.param1 == 3) return true;
      tarvik::SleepMs(100);
      return false;
    case 4:
      if (request.param1 == 3 && (request.param2 == 0 || request.param2 == 2)) {
        tarvik::SleepMs(1000);
        return false;
      }
      return true;
    case 5:
      if (request.param1 == 3 && request.param2 == 1) return true;
      tarvik::SleepMs(1000);
      return false;
    case 6:
      tarvik::SleepMs(1000);
      return false;
    default:
      tarvik::SleepMs(100);
      return false;
  }
}

// result - 2000, unless that would not be a negative code: a status of 2000 or more, or one so
// negative that the code would not fit, must never read as success or a count.
std::int32_t FailureCode(std::int64_t result) {
  std::int64_t code = result + MC_ERR_STATUS_BASE;
  if (code < 0 && code >= INT32_MIN) return static_cast<std::int32_t>(code);
  LogWarn(L"SendCommand reply status %lld has no status code", static_cast<long long>(result));
  return MC_ERR_BAD_REPLY;
}

}  // namespace

std::int32_t SendCommand(mchid::hid_device* device, std::int32_t bufLen, std::uint8_t* buffer,
                         std::int32_t* received, std::int32_t timeoutMs) {
  if (device == nullptr || buffer == nullptr || timeoutMs < -1 ||
      bufLen < static_cast<std::int32_t>(kMccmdHeaderSize)) {
    return MC_ERR_INVALID_ARG;
  }
  const tagMCCMD_HEADER request = LoadMccmdHeader(buffer);
  const std::uint64_t requestLength = kMccmdHeaderSize + std::uint64_t{request.dataLength};
  if (requestLength > static_cast<std::uint64_t>(bufLen) || requestLength > kWriteDataLimit) {
    LogWarn(
        L"SendCommand refuses a request of %lu payload bytes (buffer %ld bytes, requests "
        L"at most %ld bytes)",
        request.dataLength, bufLen, kWriteDataLimit);
    return MC_ERR_INVALID_ARG;
  }
  const auto length = static_cast<std::int32_t>(requestLength);
  const auto requestBytes = static_cast<std::size_t>(length);
  const auto size = static_cast<std::size_t>(bufLen);
  std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[size]);
  if (!copy) return MC_ERR_NO_MEMORY;
  std::memcpy(copy.get(), buffer, size);

  const tarvik::Clock::TimePoint deadline = tarvik::CurrentClock().Now() + kCommandDeadline;
  std::int64_t result = MC_ERR_NO_REPLY;
  int sends = kSends;
  while (sends > 0) {
    if (Passed(deadline)) break;
    if (WriteData(device, length, buffer) < 0) {
      --sends;
      continue;
    }
    std::int32_t count = WaitForMessage(device, bufLen, buffer, deadline);
    if (count <= 0) {
      LogWarn(L"ReadData retry OVER %d.", MC_ERR_NO_REPLY);
      return MC_ERR_NO_REPLY;
    }
    bool haveMessage =
        SkipToReply(device, bufLen, buffer, copy.get(), requestBytes, sends, deadline, count);
    if (!haveMessage && Passed(deadline)) break;
    const tagMCCMD_RECEIVE_HEADER reply = LoadMccmdReceiveHeader(buffer);
    bool stop = false;
    if (!haveMessage || !IsReplyTo(reply, request.cmdID)) {
      result = kMismatch;
      tarvik::SleepMs(100);
    } else if (reply.param1 == HID_ACK_SUCCESS) {
      if (sends != kSends) LogWarn(L"SendCommand retry = %d OK", kSends - sends);
      if (received != nullptr) *received = count;
      return 0;
    } else {
      const auto status = static_cast<std::int32_t>(reply.param1);
      LogWarn(L"param1 error param1 != HID_ACK_SUCCESS param1 = %lld",
              static_cast<long long>(status));
      LogExchange(L"param1 error send:", L"param1 error recv", copy.get(), requestBytes, buffer,
                  bufLen);
      result = status;
      stop = PauseAfterRefusal(status, request);
    }
    std::memcpy(buffer, copy.get(), size);
    sends = stop ? 0 : sends - 1;
    LogInfo(L"SendCommand retry = %d", sends);
  }
  if (sends > 0) {
    LogWarn(L"SendCommand gives up: no reply within the command's %lld ms",
            static_cast<long long>(kCommandDeadline.count()));
    return MC_ERR_NO_REPLY;
  }
  return FailureCode(result);
}
