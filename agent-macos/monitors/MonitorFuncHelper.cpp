#include "agent-macos/monitors/MonitorFuncHelper.h"

#include <cstdlib>
#include <string>

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

}  // namespace

MonitorFuncHelper& MonitorFuncHelper::shared() {
  static MonitorFuncHelper* set = new MonitorFuncHelper;
  return *set;
}

void MonitorFuncHelper::refreshMonitors() {
  if (lastDisplayCount == lastDetectCount) return;
  tagMONCTRLINFO* list = nullptr;
  const std::int32_t count = GetMonCtrlList(&list, 0);
  lastDisplayCount = count;
  if (count < 1 || list == nullptr) {
    std::free(list);
    Utils::logWarn("Failed to get monitor control list");
    return;
  }
  std::free(list);
}

void MonitorFuncHelper::refreshAll() { lastDisplayCount = 999; }

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
    Utils::logWarn("No updater found for SN: " + element["serialNumber"].get<std::string>());
  }
}

void MonitorFuncHelper::runDisplayCommands() {}

json MonitorFuncHelper::buildStatusReport() {
  json message = MessageJsonHelper::makeReportBase();
  message["monitorList"] = json::array();
  return message;
}
