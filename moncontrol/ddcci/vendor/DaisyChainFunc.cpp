#include <array>

#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/ddcci/vendor/VendorCommand.h"
#include "moncontrol/ddcci/vendor/VendorFrames.h"

namespace {

enum DaisyChainStep : std::uint8_t {
  kSetScalarIICBufferSize = 0,
  kNegotiateMonitorReadiness = 1,
  kNotifyScalarPrepareEnvironment = 2,
  kNotifyPackageSendFinished = 3,
};

// Reply data: the step echoed, its result, its failure flag.
std::int32_t RunStep(mchid::hid_device* handle, const wchar_t* name, DaisyChainStep step,
                     const std::array<std::uint8_t, 5>& args) {
  LogInfo(L"%s Start", name);
  std::uint32_t size = 0;
  MallocBuffer reply(CallDaisyChainFunc(handle, step, args[0], args[1], args[2], args[3], args[4], &size));
  LogInfo(L"%s End bufSize = %d", name, static_cast<int>(size));
  const std::int32_t base = MC_ERR_DAISY_BASE - 10 * step;
  if (!reply || size == 0) return base;
  if (reply[0] != step) {
    LogError(L"%s ERRORCODE = %d , %d , %d.", name, reply[0], reply[1], reply[2]);
    return base - 1;
  }
  LogInfo(L"%s retData = %d , %d , %d.", name, reply[0], reply[1], reply[2]);
  if (reply[2] != 0) return base - 2;
  return reply[1];
}

}  // namespace

std::uint8_t* CallDaisyChainFunc(mchid::hid_device* handle, std::uint8_t subVcp, std::uint8_t arg1,
                                 std::uint8_t arg2, std::uint8_t arg3, std::uint8_t arg4, std::uint8_t arg5,
                                 std::uint32_t* bufSize) {
  LogInfo(L"CallDaisyChainFunc Start");
  const std::uint8_t payload[] = {subVcp, arg1, arg2, arg3, arg4, arg5};
  std::uint32_t size = 0;
  std::uint8_t* reply = CallDdcciCmd(handle, &size, kVendorDaisyChain, sizeof payload, payload);
  LogInfo(L"CallDaisyChainFunc subVcp = %d, bufSize = %d", subVcp, static_cast<int>(size));
  if (bufSize != nullptr) *bufSize = size;
  return reply;
}

std::int32_t CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode(mchid::hid_device* handle,
                                                                   std::uint8_t bufferSize) {
  return RunStep(handle, L"CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode", kSetScalarIICBufferSize,
                 {bufferSize, 0, 0, 0, 0});
}

std::int32_t CallDaisyChainNegotiateMonitorReadiness(mchid::hid_device* handle, std::uint8_t arg,
                                                     std::uint32_t value) {
  return RunStep(handle, L"CallDaisyChainNegotiateMonitorReadiness", kNegotiateMonitorReadiness,
                 {arg, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                  static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

std::int32_t CallDaisyChainNotifyScalarPrepareEnvironment(mchid::hid_device* handle) {
  return RunStep(handle, L"CallDaisyChainNotifyScalarPrepareEnvironment", kNotifyScalarPrepareEnvironment,
                 {0, 0, 0, 0, 0});
}

std::int32_t CallDaisyChainNotifyPackageSendFinished(mchid::hid_device* handle, std::uint8_t arg) {
  return RunStep(handle, L"CallDaisyChainNotifyPackageSendFinished", kNotifyPackageSendFinished, {arg, 0, 0, 0, 0});
}
