#include "agent-macos/monitors/MonitorFuncHelper.h"

#include <set>

#include "agent-macos/commands/ServiceCommand.h"
#include "agent-macos/log/Log.h"
#include "agent-macos/messages/JsonReaders.h"
#include "agent-macos/messages/MessageJsonHelper.h"
#include "moncontrol/api/Devices.h"

using nlohmann::json;

namespace {

bool isArrayOfIntegerArrays(const json& value) {
  if (!value.is_array()) return false;
  for (const json& command : value) {
    if (!command.is_array()) return false;
    for (const json& number : command)
      if (!number.is_number_integer()) return false;
  }
  return true;
}

// Numbers beyond the signed range are out of every device field's range anyway.
MonitorUpdater::VcpCommand vcpCommand(const json& numbers) {
  MonitorUpdater::VcpCommand command;
  for (const json& number : numbers)
    command.push_back(number.is_number_unsigned() && number.get<std::uint64_t>() > INT64_MAX
                          ? INT64_MAX
                          : number.get<std::int64_t>());
  return command;
}

}  // namespace

std::string serialKey(const tagMONCTRLINFO& info) {
  std::string key;
  for (std::size_t i = 0; i < kMonCtrlInfoStringLength && info.serial_number[i] != 0; ++i) {
    const auto unit = static_cast<std::uint32_t>(info.serial_number[i]);
    if (unit < 0x80) key += static_cast<char>(unit);
  }
  return key;
}

MonitorFuncHelper& MonitorFuncHelper::shared() {
  static MonitorFuncHelper* set = new MonitorFuncHelper;
  return *set;
}

std::vector<std::shared_ptr<MonitorUpdater>> MonitorFuncHelper::updaters() const {
  std::lock_guard lock(mapLock);
  std::vector<std::shared_ptr<MonitorUpdater>> copy;
  for (const auto& [key, updater] : updaterMap) copy.push_back(updater);
  return copy;
}

std::shared_ptr<MonitorUpdater> MonitorFuncHelper::updater(const std::string& key) const {
  std::lock_guard lock(mapLock);
  auto found = updaterMap.find(key);
  return found == updaterMap.end() ? nullptr : found->second;
}

void MonitorFuncHelper::refreshMonitors() {
  if (lastDisplayCount == lastDetectCount) return;
  tagMONCTRLINFO* list = nullptr;
  const std::int32_t count = GetMonCtrlList(&list, 0);
  const LibraryBuffer<tagMONCTRLINFO> listed(list);
  lastDisplayCount = count;
  if (count < 1 || list == nullptr) {
    waitForReadThread();
    Utils::logWarn("Failed to get monitor control list");
    return;
  }
  std::vector<std::string> keys;
  for (std::int32_t i = 0; i < count; ++i) keys.push_back(serialKey(list[i]));
  const std::set<std::string> present(keys.begin(), keys.end());
  {
    std::lock_guard lock(mapLock);
    for (const auto& [key, updater] : updaterMap)
      if (!present.count(key)) updater->setRootPowerStatus(0);
  }
  for (std::int32_t i = 0; i < count; ++i) {
    if (keys[i].empty()) continue;
    std::shared_ptr<MonitorUpdater> known = updater(keys[i]);
    if (!known) {
      known = MonitorUpdater::create(list[i]);
      known->SetDeviceChange();
      {
        std::lock_guard lock(mapLock);
        updaterMap.emplace(keys[i], known);
      }
      known->InitDevice();
      continue;
    }
    const std::optional<ZunCacheMonitorInfo> root = known->rootEntry();
    if (!root || root->powerStatus != 1) known->SetDeviceChange();
    known->setRootPowerStatus(1);
    // A returning monitor, or one asked to refresh, reports what it holds now.
    if (known->deviceReadDue()) known->InitDevice();
  }
}

void MonitorFuncHelper::waitForReadThread() {
  for (const std::shared_ptr<MonitorUpdater>& updater : updaters()) {
    updater->stopReading();
    updater->setRootPowerStatus(0);
  }
}

void MonitorFuncHelper::refreshAll() {
  lastDisplayCount = 999;
  for (const std::shared_ptr<MonitorUpdater>& updater : updaters()) updater->SetDeviceChange();
}

void MonitorFuncHelper::addDisplayCommand(const std::optional<json>& message) {
  if (!message || message->empty() || !message->contains("monitorList") || !isArrayOfObjects((*message)["monitorList"])) {
    Utils::logWarn("Invalid monitorList");
    return;
  }
  for (const json& element : (*message)["monitorList"]) {
    if (element.empty() || !element.contains("serialNumber") || !element["serialNumber"].is_string()) continue;
    if (!element.contains("funcList") || !isArrayOfIntegerArrays(element["funcList"])) {
      Utils::logWarn("Invalid funcList");
      continue;
    }
    const std::string serial = element["serialNumber"].get<std::string>();
    const std::shared_ptr<MonitorUpdater> target = updater(serial);
    if (!target) {
      Utils::logWarn("No updater found for SN: " + serial);
      continue;
    }
    for (const json& numbers : element["funcList"]) target->appendDisplayCommand(vcpCommand(numbers));
    if (!element["funcList"].empty()) postServiceCommand(ServiceCommand::ImmediatelyRunDisplayCommand);
  }
}

void MonitorFuncHelper::runDisplayCommands() {
  for (const std::shared_ptr<MonitorUpdater>& updater : updaters()) updater->runDisplayCommand();
}

json MonitorFuncHelper::buildStatusReport() {
  json message = MessageJsonHelper::makeReportBase();
  json list = json::array();
  std::int64_t index = 0;
  for (const std::shared_ptr<MonitorUpdater>& updater : updaters()) updater->reportEntries(list, index);
  message["monitorList"] = std::move(list);
  return message;
}
