#include <algorithm>
#include <cstring>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HidTransport.h"

namespace {

constexpr int kHeaderReadAttempts = 6;
constexpr int kPayloadReadAttempts = 4;

// Reads into buffer[received, limit) until at least stopAt bytes are in; false after
// `attempts` reads in a row that brought nothing, or once the deadline has passed.
bool ReadUntil(mchid::hid_device* device, std::uint8_t* buffer, std::size_t stopAt,
               std::size_t limit, std::size_t& received, int attempts, std::int32_t timeoutMs,
               tarvik::Clock::TimePoint deadline) {
  int failures = 0;
  while (received < stopAt) {
    if (tarvik::CurrentClock().Now() >= deadline) {
      LogWarn(L"ReadData gives up on a message still incomplete at the command's deadline (%lu of "
              L"%lu bytes)",
              static_cast<std::uint32_t>(received), static_cast<std::uint32_t>(stopAt));
      return false;
    }
    std::size_t want = limit - received;
    int got = mchid::hid_read_timeout(device, buffer + received, want, timeoutMs);
    if (got <= 0) {
      if (++failures == attempts) return false;
      continue;
    }
    failures = 0;
    received += std::min(static_cast<std::size_t>(got), want);
  }
  return true;
}

}  // namespace

std::int32_t ReadData(mchid::hid_device* device, std::int32_t length, std::uint8_t* buffer,
                      std::int32_t timeoutMs) {
  return ReadDataBy(device, length, buffer, timeoutMs,
                    tarvik::CurrentClock().Now() + kCommandDeadline);
}

std::int32_t ReadDataBy(mchid::hid_device* device, std::int32_t length, std::uint8_t* buffer,
                        std::int32_t timeoutMs, tarvik::Clock::TimePoint deadline) {
  if (device == nullptr || buffer == nullptr || timeoutMs < -1) return MC_ERR_INVALID_ARG;
  if (length < static_cast<std::int32_t>(kMccmdReceiveHeaderSize)) {
    LogWarn(L"ReadData buffer of %ld bytes cannot hold a header", length);
    return MC_ERR_INVALID_ARG;
  }
  const auto limit = static_cast<std::size_t>(length);
  std::memset(buffer, 0, limit);

  std::size_t received = 0;
  if (!ReadUntil(device, buffer, kMccmdReceiveHeaderSize, limit, received, kHeaderReadAttempts,
                 timeoutMs, deadline)) {
    return MC_ERR_READ_FAILED;
  }
  // A message with at most one report's payload is complete with its header's read.
  std::uint64_t dataLength = LoadMccmdReceiveHeader(buffer).dataLength;
  if (dataLength <= kMccmdReportPayload) return static_cast<std::int32_t>(received);

  std::uint64_t total = kMccmdReceiveHeaderSize + dataLength;
  if (total > limit) {
    LogWarn(L"ReadData message of %lu payload bytes does not fit a buffer of %ld bytes",
            static_cast<std::uint32_t>(dataLength), length);
    return MC_ERR_READ_FAILED;
  }
  if (!ReadUntil(device, buffer, total, total, received, kPayloadReadAttempts, timeoutMs,
                 deadline)) {
    return MC_ERR_READ_FAILED;
  }
  return static_cast<std::int32_t>(total);
}
