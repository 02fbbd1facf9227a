#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/HidTransport.h"

namespace {

constexpr int kWriteAttempts = 10;

// Writes the request from a staging buffer of at least `length` bytes: the first report is
// the request's own start (its byte 0 is the report ID), each later one a report ID of its
// own followed by the next request bytes.
std::int32_t WriteStaged(mchid::hid_device* device, std::int32_t length,
                         const std::uint8_t* request, std::uint8_t* staging, bool logPartial) {
  const auto total = static_cast<std::size_t>(length);
  std::memcpy(staging, request, total);
  std::size_t chunkLength = total;
  std::int64_t written = 0;
  bool firstChunk = true;
  int failures = 0;
  while (written < length && failures < kWriteAttempts) {
    int w = mchid::hid_write(device, staging, chunkLength);
    // A later chunk's first byte is its added report ID; a write that moves nothing is a
    // failure too, or a one-byte report would never finish.
    std::int64_t progress = firstChunk ? w : w - 1;
    if (w <= 0 || progress <= 0) {
      ++failures;
      continue;
    }
    written += progress;
    firstChunk = false;
    failures = 0;
    if (logPartial && written < length) {
      LogInfo(L"OpenIsp2Hid hid_write ret=%d,offset=%d,nDataLengthToWrite=%d", w,
              static_cast<int>(written), length);
    }
    if (written < length) {
      std::size_t rest = total - static_cast<std::size_t>(written);
      staging[0] = 0;  // report ID
      std::memcpy(staging + 1, request + written, rest);
      chunkLength = rest + 1;
    }
  }
  if (failures >= kWriteAttempts) return MC_ERR_WRITE_FAILED;
  return static_cast<std::int32_t>(written);
}

}  // namespace

std::int32_t WriteData(mchid::hid_device* device, std::int32_t length,
                       const std::uint8_t* request) {
  if (device == nullptr || request == nullptr || length < 0) return MC_ERR_INVALID_ARG;
  if (length > kWriteDataLimit) {
    LogWarn(L"WriteData request of %ld bytes exceeds %ld bytes", length, kWriteDataLimit);
    return MC_ERR_INVALID_ARG;
  }
  std::array<std::uint8_t, kWriteDataLimit> staging;
  return WriteStaged(device, length, request, staging.data(), false);
}

std::int32_t WriteIsp2Hid(mchid::hid_device* device, std::int32_t length,
                          const std::uint8_t* request) {
  if (device == nullptr || request == nullptr || length < 0) return MC_ERR_INVALID_ARG;
  std::unique_ptr<std::uint8_t[]> staging(new (std::nothrow) std::uint8_t[length > 0 ? length : 1]);
  if (!staging) return MC_ERR_NO_MEMORY;
  return WriteStaged(device, length, request, staging.get(), true);
}
