#include <cstdint>

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/HidTransport.h"

namespace {

constexpr int kTries = 5;

}  // namespace

std::int32_t SendCommandNoReply(mchid::hid_device* device, std::int32_t,
                                const std::uint8_t* request, std::int32_t* written,
                                std::int32_t timeoutMs) {
  if (device == nullptr || request == nullptr || timeoutMs < -1) return MC_ERR_INVALID_ARG;
  const std::uint32_t dataLength = LoadMccmdHeader(request).dataLength;
  const std::uint64_t requestLength = kMccmdHeaderSize + std::uint64_t{dataLength};
  if (requestLength > INT32_MAX) {
    LogWarn(L"SendCommandNoReply request of %lu payload bytes is too long", dataLength);
    return MC_ERR_INVALID_ARG;
  }
  const auto length = static_cast<std::int32_t>(requestLength);
  int triesLeft = kTries;
  while (triesLeft-- > 0) {
    std::int32_t w = WriteIsp2Hid(device, length, request);
    if (w < length) continue;
    if (written != nullptr) *written = w;
    if (triesLeft < kTries - 1) LogInfo(L"SendCommandNoReply reSend = %d.", triesLeft);
    return 0;
  }
  LogError(L"SendCommandNoReply Error.");
  return MC_ERR_NO_REPLY;
}

mchid::hid_device* OpenIsp2Hid(std::uint16_t vendorId, std::uint16_t productId,
                               const wchar_t* serial, std::int32_t interfaceNumber) {
  const wchar_t* shownSerial = serial != nullptr ? serial : L"";
  mchid::hid_device* device = mchid::hid_open(vendorId, productId, serial, interfaceNumber);
  if (device == nullptr) {
    LogError(L"OpenIsp2Hid unable to open device %x,%x,%s,%d", unsigned{vendorId},
             unsigned{productId}, shownSerial, interfaceNumber);
    return nullptr;
  }
  LogInfo(L"OpenIsp2Hid device %x,%x,%s,%d", unsigned{vendorId}, unsigned{productId}, shownSerial,
          interfaceNumber);
  return device;
}

void CloseIsp2Hid(mchid::hid_device* device) {
  if (device != nullptr) mchid::hid_close(device);
}
