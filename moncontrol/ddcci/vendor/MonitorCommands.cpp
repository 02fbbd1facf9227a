// The vendor commands with one-byte answers, the update condition and the UART pass-through.
#include <cstdlib>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorCommand.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

constexpr int kCountAttempts = 3;
// The count error code after which the monitor wants the longer pause.
constexpr std::uint8_t kCountErrorWaitLonger = 6;
constexpr std::uint8_t kErrorCodeGood = 0;

}  // namespace

std::uint8_t CallGetMonitorCount(mchid::hid_device* handle, std::uint8_t monitorIndex) {
  LogInfo(L"CallGetMonitorCount Start");
  const std::uint8_t payload[] = {monitorIndex};
  for (int attempt = 0; attempt < kCountAttempts; ++attempt) {
    VendorReply reply(handle, kVendorMonitorCount, payload);
    LogInfo(L"CallGetMonitorCount monitorIndex = %d, bufSize = %d", monitorIndex, static_cast<int>(reply.Size()));
    if (reply.Empty()) continue;
    const std::uint8_t errorCode = reply.Byte(0);
    if (errorCode == kErrorCodeGood) {
      LogInfo(L"CallGetMonitorCount retData = %d , %d", errorCode, reply.Byte(1));
      return reply.Byte(1);
    }
    LogError(L"CallGetMonitorCount ERRORCODE = %d ", errorCode);
    tarvik::SleepMs(errorCode == kCountErrorWaitLonger ? 1000 : 100);
  }
  return 0;
}

std::uint8_t CallGetMonitorStatus(mchid::hid_device* handle, std::uint8_t monitorIndex, std::uint8_t* errorCode) {
  LogInfo(L"CallGetMonitorStatus Start");
  const std::uint8_t payload[] = {monitorIndex};
  VendorReply reply(handle, kVendorMonitorStatus, payload);
  if (reply.Empty()) return 0;
  if (errorCode != nullptr) *errorCode = reply.Byte(0);
  if (reply.Byte(0) != kErrorCodeGood) {
    LogError(L"CallGetMonitorStatus ERRORCODE = %d ", reply.Byte(0));
    return 0;
  }
  LogInfo(L"CallGetMonitorStatus retData = %d , %d", reply.Byte(0), reply.Byte(1));
  return reply.Byte(1);
}

std::uint8_t CallNotifyAllFwTransFinished(mchid::hid_device* handle, std::uint8_t monitorIndex) {
  LogInfo(L"CallNotifyAllFwTransFinished Start");
  const std::uint8_t payload[] = {monitorIndex};
  VendorReply reply(handle, kVendorFwTransFinished, payload);
  LogInfo(L"CallNotifyAllFwTransFinished monitorIndex=%d,bufSize=%d", monitorIndex, static_cast<int>(reply.Size()));
  if (reply.Empty()) return 0;
  LogInfo(L"CallNotifyAllFwTransFinished End=%d", reply.Byte(0));
  return reply.Byte(0);
}

std::int32_t CallSpecifyUpdateCondition(mchid::hid_device* handle, std::uint8_t monitorIndex,
                                        std::uint8_t countOfChild, std::uint16_t DebugVersion,
                                        std::uint16_t ReleaseVersion, std::uint8_t updateCondition,
                                        std::uint32_t delaySecond) {
  LogInfo(L"CallSpecifyUpdateCondition monitorIndex=%d,countOfChild=%d,DebugVersion=%d,ReleaseVersion=%d,"
          L"updateCondition=%d,delaySecond=%d.",
          monitorIndex, countOfChild, DebugVersion, ReleaseVersion, updateCondition, static_cast<int>(delaySecond));
  // The child count goes first, whatever the argument order.
  const std::uint8_t payload[] = {countOfChild,
                                  monitorIndex,
                                  static_cast<std::uint8_t>(DebugVersion),
                                  static_cast<std::uint8_t>(DebugVersion >> 8),
                                  static_cast<std::uint8_t>(ReleaseVersion),
                                  static_cast<std::uint8_t>(ReleaseVersion >> 8),
                                  updateCondition,
                                  static_cast<std::uint8_t>(delaySecond),
                                  static_cast<std::uint8_t>(delaySecond >> 8),
                                  static_cast<std::uint8_t>(delaySecond >> 16),
                                  static_cast<std::uint8_t>(delaySecond >> 24)};
  VendorReply reply(handle, kVendorUpdateCondition, payload);
  if (reply.Empty()) LogError(L"CallSpecifyUpdateCondition ERROR ret=%d.", static_cast<int>(reply.Size()));
  LogInfo(L"CallSpecifyUpdateCondition ok.");
  return 1;
}

std::uint8_t* CallPassUartCommand(mchid::hid_device* handle, std::uint32_t* bufSize, std::int32_t* payloadLength,
                                  const std::uint8_t* payload) {
  LogInfo(L"CallPassUartCommand Start");
  if (bufSize == nullptr || payloadLength == nullptr) return nullptr;
  // CallDdcciCmd refuses a payload too long for its frame.
  std::uint32_t size = 0;
  MallocBuffer reply(CallDdcciCmd(handle, &size, kVendorUart, *payloadLength, payload));
  LogInfo(L"CallPassUartCommand CE C0 bufSize = %d", static_cast<int>(size));
  *bufSize = size;
  return size > 0 ? reply.release() : nullptr;
}
