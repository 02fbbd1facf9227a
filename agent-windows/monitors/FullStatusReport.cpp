// The full status report: every monitor due for one is read from its device.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent-windows/CaughtException.h"
#include "agent-windows/monitors/DeviceReads.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/StatusEntries.h"
#include "agent-windows/monitors/StatusReports.h"
#include "agent-windows/monitors/VcpCodes.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "foundation/text/HexText.h"
#include "foundation/text/TextConversion.h"
#include "foundation/text/TimeText.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"
#include "moncontrol/ddcci/vendor/MonitorInfo.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/tables/CapstringToMap.h"

namespace {

constexpr std::uint32_t kCapabilityBufferSize = 6400;
constexpr std::int32_t kMaxFuncMapCodes = 100;
constexpr std::uint32_t kPauseAfterReadMs = 50;
constexpr std::uint8_t kFirstMonitor = 0;
constexpr int kMutexWordLogLine = 1661;


struct FreeDeleter {
  void operator()(void* buffer) const { std::free(buffer); }
};

// The texts CapstringToMap hands over are ours to free, however the conversion ends.
struct CapabilityPairs {
  std::array<KeyValuePair, kMaxFuncMapCodes> pairs{};
  std::int32_t count = 0;

  CapabilityPairs() = default;
  CapabilityPairs(const CapabilityPairs&) = delete;
  CapabilityPairs& operator=(const CapabilityPairs&) = delete;
  ~CapabilityPairs() {
    for (std::int32_t i = 0; i < count; ++i) {
      std::free(pairs[i].key);
      std::free(pairs[i].value);
    }
  }
};

// A device field need not end in NUL; never read past its width.
template <std::size_t Width>
std::string FieldText(const char (&field)[Width]) {
  return std::string(field, strnlen(field, Width));
}

std::string ModelVersion(const tagZunMONITORINFO& info) {
  char text[32] = {};
  if (info.overallVersionDebug != 0)
    std::snprintf(text, sizeof text, "%02d.%02dT", info.overallVersionRelease, info.overallVersionDebug);
  else
    std::snprintf(text, sizeof text, "%02d", info.overallVersionRelease);
  return text;
}

// The log lines name the serial in wide text; an empty one is never converted.
std::wstring SerialForLog(const std::string& serial) {
  return serial.empty() ? std::wstring() : StringToWString(serial);
}

bool ReadMonitorInformation(mchid::hid_device* handle, FullStatusEntry& entry) {
  const std::unique_ptr<std::uint8_t, FreeDeleter> buffer(CallGetMonitorInfo(handle, kFirstMonitor));
  if (!buffer) return false;
  tagZunMONITORINFO info;
  std::memcpy(&info, buffer.get(), sizeof info);
  entry.modelName = FieldText(info.modelName);
  entry.specialId = FieldText(info.specialID);
  entry.modelVersion = ModelVersion(info);
  return true;
}

// A one-byte code gives [code, current, maximum]; a code of the 0xF8 page
// [0xF8, sub-code, current, maximum].
VcpReading ReadFunction(mchid::hid_device* handle, std::uint16_t code) {
  const bool extended = code > 0xFF;
  const std::int32_t* read = extended ? GetVCPFeatureByVector(handle, code >> 8, code & 0xFF)
                                      : GetVCPFeatureByVector(handle, code, 0);
  VcpReading reading;
  reading.count = extended ? 4 : 3;
  std::copy_n(read, reading.count, reading.values.begin());
  tarvik::SleepMs(kPauseAfterReadMs);
  return reading;
}

// Steps that drop the entry return nothing; the index is used up all the same.
std::optional<FullStatusEntry> ReadFullStatusEntry(int index, const MonitorState& state,
                                                   const std::wstring& serial) {
  FullStatusEntry entry;
  entry.index = index;
  entry.vendorId = state.vendor_id;
  entry.productId = state.product_id;
  entry.serialNumber = state.sn;
  entry.interfaceNumber = state.interface_number;

  mchid::hid_device* handle = GetMonitorHandle(state);
  if (handle == nullptr) {
    LogWarn(L"GetAllInfo %s handle == NULL .", serial.c_str());
    return std::nullopt;
  }
  if (CallGetMonitorCount(handle, kFirstMonitor) == 0) {
    LogWarn(L"GetAllInfo %s monitorCount == NULL <= 0 .", serial.c_str());
    return std::nullopt;
  }
  if (!ReadMonitorInformation(handle, entry)) {
    LogWarn(L"GetAllInfo %s monitorInfo == NULL <= 0 .", serial.c_str());
    return std::nullopt;
  }

  // The status byte is reported whatever its error byte says.
  std::uint8_t statusError = 0;
  entry.monitorStatus = CallGetMonitorStatus(handle, kFirstMonitor, &statusError);
  entry.mutexInt = RefreshDeviceMutexWord(handle, state.sn, kMutexWordLogLine);
  entry.useTimes = CurrentVcpValue(handle, kVcpUseTimes);
  entry.lockStatus = CurrentVcpValue(handle, kVcpLockStatus);
  SetMonitorStatusValues(state.sn, entry.monitorStatus, entry.useTimes, entry.lockStatus);

  const std::int32_t power = CurrentVcpValue(handle, kVcpPowerMode);
  SetPowerStatus(state.sn, power);
  entry.powerStatus = power == 1 ? 1 : 0;

  if (state.needSetUsbAlwayOn) {
    WriteVcpValue(handle, kVcpUsbAlwaysOn, kUsbAlwaysOnValue);
    SetNeedSetUsbAlwayOn(state.sn, false);
  }

  entry.vcpFuncMap = GetVcpFuncMap(handle);
  for (const VcpValueList& code : entry.vcpFuncMap) entry.funcList.push_back(ReadFunction(handle, code.vcpCode));
  return entry;
}

}  // namespace

std::vector<VcpValueList> GetVcpFuncMap(mchid::hid_device* handle) {
  // Zeroed, so the string ends in NUL whatever the read left.
  std::vector<char> capabilities(kCapabilityBufferSize, '\0');
  std::uint32_t length = kCapabilityBufferSize;
  GetCapabilities(handle, &length, capabilities.data());

  CapabilityPairs found;
  CapstringToMap(&length, capabilities.data(), found.pairs.data(), kMaxFuncMapCodes, &found.count);
  std::vector<VcpValueList> codes;
  for (std::int32_t i = 0; i < found.count; ++i)
    codes.push_back({HexStringToUShort(found.pairs[i].key), HexStringToUShortVector(found.pairs[i].value)});
  return codes;
}

std::string GetAllInfo() {
  MonitorRegistry monitors;
  CopyMonitorRegistry(monitors);
  LogInfo(L"GetAllInfo mapMonitorCtrlCopy = %d.", static_cast<int>(monitors.size()));
  if (monitors.empty()) {
    LogError(L"Heartbeat:Monitor count is less than 0 !");
    return StatusReportText({});
  }

  std::vector<std::string> entries;
  int index = 0;
  for (const auto& [key, state] : monitors) {
    const std::int64_t start = GetCurrSeconds();
    LogInfo(L"GetAllInfo .........................");
    const std::wstring serial = SerialForLog(state.sn);
    if (!IsDueForFullReport(state, start)) {
      LogWarn(L"GetAllInfo SKIP %x,%x,%s,%d", state.vendor_id, state.product_id, serial.c_str(),
              state.interface_number);
      continue;
    }
    LogInfo(L"GetAllInfo Start %x,%x,%s,%d", state.vendor_id, state.product_id, serial.c_str(),
            state.interface_number);
    LogInfo(L"GetAllInfo = 111 .");
    try {
      if (state.sn.empty()) continue;
      const std::optional<FullStatusEntry> entry = ReadFullStatusEntry(index++, state, serial);
      if (!entry) continue;
      entries.push_back(FullStatusEntryText(*entry));
      // Only once its entry is in the report: a monitor whose entry was dropped stays due.
      SetNeedUpdate(state.sn, false);
      LogInfo(L"GetAllInfo End %lld, %x,%x,%s,%d", static_cast<long long>(GetCurrSeconds() - start),
              state.vendor_id, state.product_id, serial.c_str(), state.interface_number);
    } catch (...) {
      LogCaughtException(L"GetAllInfo");
    }
  }

  return StatusReportText(entries);
}
