#include <cstdlib>
#include <cstring>

#include "platform/win32/Win32.h"

namespace {

bool ConnectedStandby() {
  const char* value = std::getenv("TARVIK_WIN32_CONNECTED_STANDBY");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

// A desktop on mains power. A machine with connected standby idles in S0 instead of sleeping
// in S3.
SYSTEM_POWER_CAPABILITIES MachineCapabilities() {
  SYSTEM_POWER_CAPABILITIES capabilities{};
  capabilities.AoAc = ConnectedStandby() ? 1 : 0;
  capabilities.PowerButtonPresent = 1;
  capabilities.SystemS3 = capabilities.AoAc ? 0 : 1;
  capabilities.SystemS4 = 1;
  capabilities.SystemS5 = 1;
  capabilities.HiberFilePresent = 1;
  capabilities.RtcWake = capabilities.AoAc ? PowerSystemHibernate : PowerSystemSleeping3;
  return capabilities;
}

}  // namespace

NTSTATUS CallNtPowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG,
                                PVOID output, ULONG outputLength) {
  if (level != SystemPowerCapabilities || input != nullptr || output == nullptr)
    return STATUS_INVALID_PARAMETER;
  if (outputLength < sizeof(SYSTEM_POWER_CAPABILITIES)) return STATUS_BUFFER_TOO_SMALL;
  SYSTEM_POWER_CAPABILITIES capabilities = MachineCapabilities();
  std::memcpy(output, &capabilities, sizeof capabilities);
  return STATUS_SUCCESS;
}
