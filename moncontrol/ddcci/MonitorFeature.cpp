#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/MonitorFeatureApi.h"

std::int32_t GetMonitorFeature(mchid::hid_device* handle, std::int32_t subCode, std::int32_t* current,
                               std::int32_t* maximum) {
  if (handle == nullptr || current == nullptr || maximum == nullptr) {
    LogWarn(L"GetMonitorFeature: no device or no place for the values");
    return MC_ERR_INVALID_ARG;
  }
  std::int32_t result = SetVCPFeatureL(handle, kVcpExtendedSelect, static_cast<std::uint16_t>(subCode));
  if (result != MC_OK) return result;
  return GetVCPFeatureL(handle, kVcpExtendedValue, current, maximum);
}

std::int32_t SetMonitorFeature(mchid::hid_device* handle, std::int32_t subCode, std::int32_t value) {
  if (handle == nullptr) {
    LogWarn(L"SetMonitorFeature: no device");
    return MC_ERR_INVALID_ARG;
  }
  std::int32_t result = SetVCPFeatureL(handle, kVcpExtendedSelect, static_cast<std::uint16_t>(subCode));
  if (result != MC_OK) return result;
  return SetVCPFeatureL(handle, kVcpExtendedValue, static_cast<std::uint16_t>(value));
}
