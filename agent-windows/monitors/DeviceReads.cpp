#include "agent-windows/monitors/DeviceReads.h"

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/VcpCodes.h"
#include "foundation/log/Log.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"

void WriteVcpValue(mchid::hid_device* handle, std::int32_t code, std::int32_t value) {
  const std::int32_t command[kVcpVectorLength] = {code, value, 0, 0, 0, 0};
  SetVCPFeatureByVector(handle, command, 0);
}

std::int32_t CurrentVcpValue(mchid::hid_device* handle, std::int32_t code) {
  return GetVCPFeatureByVector(handle, code, 0)[1];
}

std::uint32_t ReadDeviceMutexWord(mchid::hid_device* handle) {
  WriteVcpValue(handle, kVcpDeviceMutex, kDeviceMutexIndex);
  const std::int32_t* read = GetVCPFeatureByVector(handle, kVcpDeviceMutex, 0);
  return (static_cast<std::uint32_t>(read[2]) << 16) | static_cast<std::uint32_t>(read[1]);
}

std::uint32_t RefreshDeviceMutexWord(mchid::hid_device* handle, const std::string& serial, int logLine) {
  const std::uint32_t word = ReadDeviceMutexWord(handle);
  LogInfo(L"VCP_MUTEX_TEST -line %d idx=%d , value=%u", logLine, static_cast<int>(kDeviceMutexIndex), word);
  UpdateDeviceMutexStatus(serial, kDeviceMutexIndex, word);
  return word;
}
