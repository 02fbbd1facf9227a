// The device read: identity, children, status, capabilities and VCP values of the monitors.
#include <cstring>

#include "agent-macos/log/Log.h"
#include "agent-macos/monitors/MonitorText.h"
#include "agent-macos/monitors/MonitorUpdater.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/macos/MacApi.h"
#include "moncontrol/tables/CapstringToMap.h"

namespace {

constexpr std::uint32_t kCapabilityBufferSize = 6400;
constexpr std::int32_t kMaxCapabilityPairs = 100;
constexpr std::uint8_t kVcpUseTimes = 0xC0;
constexpr std::uint8_t kVcpLockStatus = 0xF6;
constexpr std::uint8_t kVcpPowerMode = 0xD6;
constexpr std::uint8_t kVcpMutexStatus = 0xFA;
constexpr std::uint8_t kVcpUsbAlwaysOn = 0xEC;
constexpr std::uint16_t kUsbAlwaysOnValue = 0xFF01;

std::array<std::int32_t, kVcpVectorLength> readVcp(mchid::hid_device* handle, std::int32_t code,
                                                   std::uint32_t subCode = 0) {
  std::array<std::int32_t, kVcpVectorLength> values{};
  GetVCPFeatureByVector2(handle, code, subCode, values.data(), kVcpVectorLength);
  return values;
}

void logStep(const std::string& text) { Utils::logInfo(text + "current time(ms): " + currentTimeMs()); }

void logMissingChild() {
  for (const char* line : {"Failed to retrieve child fwid.", "Failed to retrieve firmware version.",
                           "Failed to retrieve serial number.", "Failed to retrieve ultra data."})
    Utils::logInfo(line);
}

}  // namespace

bool MonitorUpdater::InitDevice() {
  std::lock_guard work(deviceWork);
  {
    std::lock_guard lock(stateLock);
    if (!isDeviceChange) {
      isInitOK = true;
      return true;
    }
  }
  stopReading();
  tagMONCTRLINFO info = pMcInfo;
  mchid::hid_device* handle = OpenMonCtrl3(&info, kOpenTimeoutMs);
  if (handle == nullptr) {
    Utils::logInfo("InitDevice Failed to open monitor control handle.");
    {
      std::lock_guard lock(stateLock);
      isInitOK = false;
    }
    CreateCallback();
    return false;
  }
  const std::uint8_t count = CallGetMonitorCount(handle, 0) != 0 ? 1 : 0;
  {
    std::lock_guard lock(stateLock);
    isDeviceChange = false;
    dcMonitorCount = count;
    if (count != lastUpdateChainNumber) {
      needUpdateMonitorInfo = true;
      lastUpdateChainNumber = count;
      clearIdentityLists();
    }
  }
  logStep("Start update monitor info,  ");
  for (std::uint8_t i = 0; i < count; ++i) monitorPass(handle, i);
  CloseMonCtrl(handle);
  CreateCallback();
  std::lock_guard lock(stateLock);
  isInitOK = true;
  return true;
}

void MonitorUpdater::clearIdentityLists() {
  monitorInfoList.clear();
  monitorSnList.clear();
  monitorOrgInfoList.clear();
  childInfoMapList.clear();
  childOrgInfoMapList.clear();
}

void MonitorUpdater::monitorPass(mchid::hid_device* handle, std::uint8_t index) {
  bool fullIdentity, refreshMutex, refreshCapString, refreshValues;
  {
    std::lock_guard lock(stateLock);
    // The kept form needs the serial a full read listed.
    fullIdentity = needUpdateMonitorInfo || index >= monitorSnList.size();
    refreshMutex = isRefreshMutexStatus;
    refreshCapString = isRefreshCapString;
    refreshValues = isRefreshAllVcpValue;
  }
  const std::optional<ZunMonitorInfo> identity = readIdentity(handle, index, fullIdentity);
  if (!identity) return;
  const std::string i = std::to_string(index);
  const std::string& sn = identity->sn;

  ZunCacheMonitorInfo entry;
  {
    std::lock_guard lock(stateLock);
    auto cached = cacheMonitorInfoMap.find(sn);
    if (cached != cacheMonitorInfoMap.end()) {
      entry = cached->second;
    } else {
      entry.vendor_id = pMcInfo.vendor_id;
      entry.product_id = pMcInfo.product_id;
      entry.interface_number = pMcInfo.interface_number;
      entry.sn = sn;
      entry.modelName = identity->modelName;
      entry.specialID = identity->specialID;
    }
  }
  entry.overallVersionDebug = identity->overallVersionDebug;
  entry.overallVersionRelease = identity->overallVersionRelease;
  std::uint8_t errorCode = 0;
  entry.monitorStatus = CallGetMonitorStatus(handle, 0, &errorCode);
  entry.useTimes = readVcp(handle, kVcpUseTimes)[1];
  entry.lockStatus = readVcp(handle, kVcpLockStatus)[1];
  entry.powerStatus = readVcp(handle, kVcpPowerMode)[1] == 1 ? 1 : 0;

  if (refreshMutex) {
    SetVCPFeatureL(handle, kVcpMutexStatus, 0);
    const auto mutex = readVcp(handle, kVcpMutexStatus);
    // Current value in the low half, maximum in the high half.
    const std::uint32_t word = static_cast<std::uint32_t>(mutex[1]) | (static_cast<std::uint32_t>(mutex[2]) << 16);
    updateDeviceMutexStatus(sn, 0, word);
    entry.mutexStatus = {word};
    entry.need_update = true;
  }
  if (entry.needSetUsbAlwayOn) {
    SetVCPFeatureL(handle, kVcpUsbAlwaysOn, kUsbAlwaysOnValue);
    entry.needSetUsbAlwayOn = false;
  }
  logStep("Monitor " + i + " load base info Ok, ");

  if (refreshCapString) readCapabilities(handle, entry);
  logStep("Monitor " + i + " load capstring Ok, ");

  if (refreshValues) {
    entry.vcpValueCache.clear();
    const std::vector<ZunVcpFuncInfo> functions = entry.vcpFuncMap;
    for (const ZunVcpFuncInfo& function : functions) readVcpValue(function, handle, entry);
    entry.need_update = true;
  }
  logStep("Monitor " + i + " load VCP values Ok, ");

  std::lock_guard lock(stateLock);
  cacheMonitorInfoMap[sn] = std::move(entry);
}

std::optional<ZunMonitorInfo> MonitorUpdater::readIdentity(mchid::hid_device* handle, std::uint8_t index,
                                                           bool full) {
  ZunMonitorInfo identity;
  identity.vendor_id = pMcInfo.vendor_id;
  identity.product_id = pMcInfo.product_id;
  const std::string i = std::to_string(index);
  auto fill = [&identity](const tagZunMONITORINFO* table) {
    identity.modelName = table ? fixedWidthText(table->modelName) : "";
    if (!table) Utils::logInfo("Failed to retrieve model name.");
    identity.specialID = specialIDString(table).value_or("");
    identity.vendorID = vendorIDString(table).value_or("");
    if (!table) return;
    identity.deviceCount = table->deviceCount;
    identity.i2cBufSize = table->i2cBufSize;
    identity.overallVersionDebug = table->overallVersionDebug;
    identity.overallVersionRelease = table->overallVersionRelease;
  };

  if (!full) {
    std::optional<tagZunMONITORINFO> kept;
    {
      std::lock_guard lock(stateLock);
      identity.sn = monitorSnList[index];
      auto table = monitorOrgInfoList.find(identity.sn);
      if (table != monitorOrgInfoList.end() && table->second) kept = *table->second;
    }
    fill(kept ? &*kept : nullptr);
    return identity;
  }

  LibraryBuffer<tagZunMONITORINFO> table(reinterpret_cast<tagZunMONITORINFO*>(CallGetMonitorInfo(handle, index)));
  logStep("Load monitor " + i + " info OK, ");
  fill(table.get());
  if (!table) {
    // Without a serial the monitor cannot be filed anywhere.
    Utils::logInfo("Failed to retrieve serial number.");
    return std::nullopt;
  }
  identity.sn = fixedWidthText(table->sn);
  Utils::logInfo("Monitor Info: " + describe(identity));
  {
    std::lock_guard lock(stateLock);
    if (index == 0) rootMonitorSn = identity.sn;
    monitorInfoList.push_back(identity);
    monitorSnList.push_back(identity.sn);
    monitorOrgInfoList[identity.sn] = std::move(table);
  }
  readChildren(handle, index, identity.deviceCount, identity.sn);
  return identity;
}

void MonitorUpdater::readChildren(mchid::hid_device* handle, std::uint8_t index, std::uint8_t deviceCount,
                                  const std::string& sn) {
  std::map<std::string, ZunChildDeviceInfo> children;
  std::map<std::string, LibraryBuffer<tagCHILDDEVINFO>> tables;
  for (std::uint8_t j = 0; j < deviceCount; ++j) {
    LibraryBuffer<tagCHILDDEVINFO> table(reinterpret_cast<tagCHILDDEVINFO*>(CallGetChildInfo(handle, index, j)));
    logStep("Load monitor " + std::to_string(index) + " child " + std::to_string(j) + " info OK, ");
    if (!table) {
      logMissingChild();
      continue;
    }
    ZunChildDeviceInfo child{table->type,
                             table->ispID,
                             fixedWidthText(table->fwID),
                             fixedWidthText(table->fwVer),
                             fixedWidthText(table->sn),
                             fixedWidthText(table->ultraData)};
    const std::string key = child.fwID;
    children[key] = std::move(child);
    tables[key] = std::move(table);
  }
  std::lock_guard lock(stateLock);
  childInfoMapList[sn] = std::move(children);
  childOrgInfoMapList[sn] = std::move(tables);
  needUpdateMonitorInfo = false;
}

void MonitorUpdater::readCapabilities(mchid::hid_device* handle, ZunCacheMonitorInfo& entry) {
  std::uint32_t length = kCapabilityBufferSize;
  std::vector<char> capabilities(kCapabilityBufferSize, 0);
  GetCapabilities(handle, &length, capabilities.data());
  KeyValuePair pairs[kMaxCapabilityPairs]{};
  std::int32_t count = 0;
  CapstringToMap(&length, capabilities.data(), pairs, kMaxCapabilityPairs, &count);
  entry.vcpFuncMap.clear();
  for (std::int32_t k = 0; k < count && k < kMaxCapabilityPairs; ++k) {
    ZunVcpFuncInfo function{parseVcpCode(pairs[k].key ? pairs[k].key : ""),
                            parseHexWords(pairs[k].value ? pairs[k].value : "")};
    Utils::logInfo("Key: " + std::to_string(function.vcpCode) + ", Value: " + listText(function.values));
    entry.vcpFuncMap.push_back(std::move(function));
  }
  for (KeyValuePair& pair : pairs) {
    std::free(pair.key);
    std::free(pair.value);
  }
  entry.need_update = true;
}

void MonitorUpdater::readVcpValue(const ZunVcpFuncInfo& info, mchid::hid_device* handle, ZunCacheMonitorInfo& entry) {
  // A two-byte code names its page in the high byte: 0xF8 selects the sub-code, then reads 0xF7.
  const auto values = info.vcpCode >= 0x100 ? readVcp(handle, info.vcpCode >> 8, info.vcpCode & 0xFF)
                                            : readVcp(handle, info.vcpCode);
  entry.vcpValueCache.push_back({values[0], values[1], values[2], values[3]});
}
