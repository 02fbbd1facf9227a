#include "moncontrol/ddcci/VcpByVectorApi.h"

#include <array>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/MonitorFeatureApi.h"

namespace {

// The monitor needs this long after a select before it serves the sub-feature.
constexpr std::uint32_t kSelectSettleMs = 200;

using VcpVector = std::array<std::int32_t, kVcpVectorLength>;

// Selects the sub-feature and waits for the monitor to take it; false when the select failed.
bool SelectExtended(mchid::hid_device* handle, std::uint16_t subCode) {
  if (SetVCPFeatureL(handle, kVcpExtendedSelect, subCode) != MC_OK) return false;
  tarvik::SleepMs(kSelectSettleMs);
  return true;
}

}  // namespace

std::int32_t SetVCPFeatureByVector(mchid::hid_device* handle, const std::int32_t* vec, std::int32_t) {
  if (vec == nullptr) {
    LogWarn(L"SetVCPFeatureByVector: no setting given");
    return 0;
  }
  std::int32_t result;
  if (vec[0] == kVcpExtendedSelect) {
    if (!SelectExtended(handle, static_cast<std::uint16_t>(vec[1]))) return 0;
    result = SetVCPFeatureL(handle, kVcpExtendedValue, static_cast<std::uint16_t>(vec[2]));
  } else {
    result = SetVCPFeatureL(handle, static_cast<std::uint8_t>(vec[0]), static_cast<std::uint16_t>(vec[1]));
  }
  return result == MC_OK ? 1 : 0;
}

const std::int32_t* GetVCPFeatureByVector(mchid::hid_device* handle, std::int32_t vcpCode, std::uint16_t subCode) {
  thread_local VcpVector values;
  values.fill(0);
  std::int32_t current = 0;
  std::int32_t maximum = 0;
  if (vcpCode == kVcpExtendedSelect) {
    if (!SelectExtended(handle, subCode)) return values.data();
    GetVCPFeatureL(handle, kVcpExtendedValue, &current, &maximum);
    values = {vcpCode, subCode, current, maximum, 0, 0};
  } else {
    GetVCPFeatureL(handle, static_cast<std::uint8_t>(vcpCode), &current, &maximum);
    values = {vcpCode, current, maximum, 0, 0, 0};
  }
  return values.data();
}

#if defined(TARVIK_MACOS)
void GetVCPFeatureByVector2(mchid::hid_device* handle, std::int32_t vcpCode, std::uint32_t subCode,
                            std::int32_t* values, std::int32_t count) {
  if (values == nullptr || count < kVcpVectorLength) return;
  std::int32_t current = 0;
  std::int32_t maximum = 0;
  if (vcpCode == kVcpExtendedSelect) {
    if (!SelectExtended(handle, static_cast<std::uint16_t>(subCode))) return;
    GetVCPFeatureL(handle, kVcpExtendedValue, &current, &maximum);
    values[0] = vcpCode;
    values[1] = static_cast<std::int32_t>(subCode);
    values[2] = current;
    values[3] = maximum;
  } else {
    GetVCPFeatureL(handle, static_cast<std::uint8_t>(vcpCode), &current, &maximum);
    values[0] = vcpCode;
    values[1] = current;
    values[2] = maximum;
  }
}
#endif
