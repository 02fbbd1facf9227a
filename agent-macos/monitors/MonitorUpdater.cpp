#include "agent-macos/monitors/MonitorUpdater.h"

#include "agent-macos/log/Log.h"

std::shared_ptr<MonitorUpdater> MonitorUpdater::create(const tagMONCTRLINFO& info) {
  std::shared_ptr<MonitorUpdater> updater(new MonitorUpdater(info));
  updater->SetDeviceChange();
  updater->CreateCallback();
  return updater;
}

MonitorUpdater::MonitorUpdater(const tagMONCTRLINFO& info) : pMcInfo(info) {}

MonitorUpdater::~MonitorUpdater() {
  Utils::logInfo("MonitorUpdater deinit called, stopping callback.");
  stopReading();
}

void MonitorUpdater::SetDeviceChange() {
  Utils::logInfo("SetDeviceChange called...........");
  {
    std::lock_guard lock(stateLock);
    isDeviceChange = true;
    isInitOK = false;
    lastUpdateChainNumber = 0;
  }
  SetUpdateBaseInfo();
  SetUpdateMutexStatus();
  SetUpdateCapString();
  SetUpdateAllVcpValue();
  markRootForUpdate();
}

void MonitorUpdater::SetUpdateBaseInfo() {
  Utils::logInfo("SetUpdateBaseInfo called.................");
  std::lock_guard lock(stateLock);
  needUpdateMonitorInfo = true;
}

void MonitorUpdater::SetUpdateMutexStatus() {
  Utils::logInfo("SetUpdateMutexStatus called...............");
  std::lock_guard lock(stateLock);
  isDeviceChange = true;
  isRefreshMutexStatus = true;
}

void MonitorUpdater::SetUpdateCapString() {
  Utils::logInfo("SetUpdateCapString called.................");
  std::lock_guard lock(stateLock);
  isDeviceChange = true;
  isRefreshCapString = true;
}

void MonitorUpdater::SetUpdateAllVcpValue() {
  Utils::logInfo("SetUpdateAllVcpValue called.....................");
  std::lock_guard lock(stateLock);
  isDeviceChange = true;
  isRefreshAllVcpValue = true;
}

void MonitorUpdater::markRootForUpdate() {
  std::lock_guard lock(stateLock);
  auto root = cacheMonitorInfoMap.find(rootMonitorSn);
  if (root != cacheMonitorInfoMap.end()) root->second.need_update = true;
}

void MonitorUpdater::updateDeviceMutexStatus(const std::string& sn, std::int64_t index, std::uint32_t value) {
  std::lock_guard lock(stateLock);
  auto entry = cacheMonitorInfoMap.find(sn);
  if (entry == cacheMonitorInfoMap.end()) return;
  std::vector<std::uint32_t>& words = entry->second.mutexStatus;
  if (index < 0 || static_cast<std::uint64_t>(index) >= words.size()) {
    Utils::logInfo("updateDeviceMutexStatus Index out of bounds.");
    return;
  }
  words[static_cast<std::size_t>(index)] = value;
}

void MonitorUpdater::updateLockStatus(const std::string& sn, std::uint32_t value) {
  std::lock_guard lock(stateLock);
  auto entry = cacheMonitorInfoMap.find(sn);
  if (entry != cacheMonitorInfoMap.end()) entry->second.lockStatus = clampedToInt32(value);
}

void MonitorUpdater::queueVcpChange(const std::array<std::uint32_t, 4>& values) { _vcpChangeList.append({values}); }

std::string MonitorUpdater::rootSerial() const {
  std::lock_guard lock(stateLock);
  return rootMonitorSn;
}

std::optional<ZunCacheMonitorInfo> MonitorUpdater::rootEntry() const {
  std::lock_guard lock(stateLock);
  auto root = cacheMonitorInfoMap.find(rootMonitorSn);
  if (root == cacheMonitorInfoMap.end()) return std::nullopt;
  return root->second;
}

bool MonitorUpdater::setRootPowerStatus(std::int32_t powerStatus) {
  std::lock_guard lock(stateLock);
  auto root = cacheMonitorInfoMap.find(rootMonitorSn);
  if (root == cacheMonitorInfoMap.end()) return false;
  root->second.powerStatus = powerStatus;
  return true;
}

bool MonitorUpdater::deviceReadDue() const {
  std::lock_guard lock(stateLock);
  return isDeviceChange;
}

std::map<std::string, ZunCacheMonitorInfo> MonitorUpdater::cachedMonitors() const {
  std::lock_guard lock(stateLock);
  return cacheMonitorInfoMap;
}
