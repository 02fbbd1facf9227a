#include <string>
#include <vector>

#include "agent-macos/log/Log.h"
#include "agent-macos/messages/JsonReaders.h"
#include "agent-macos/messages/MessageJsonHelper.h"
#include "agent-macos/messages/MessageUtils.h"
#include "agent-macos/monitors/MonitorFuncHelper.h"
#include "agent-macos/packages/DownloadPackage.h"
#include "agent-macos/service/TarvikService.h"

using nlohmann::json;

namespace {

// The installer's arguments for one monitor entry, each its own word.
std::vector<std::string> installerArguments(const json& entry, const json& info) {
  std::vector<std::string> arguments{"-no_delay"};
  if (integerOf(info, "silentFlag") == 1) arguments.push_back("-console");
  switch (integerOf(info, "updateType").value_or(0)) {
    case 4:
      arguments.push_back("disconnect");
      break;
    case 3:
      arguments.push_back("nosigal");
      break;
    case 1:
      arguments.push_back("-set_task_time");
      arguments.push_back(std::to_string(integerOf(info, "updateTime").value_or(0)));
      break;
    default:
      break;
  }
  arguments.push_back("-sn");
  arguments.push_back(stringOf(entry, "serialNumber"));
  return arguments;
}

}  // namespace

void TarvikService::handleServerMessage(const std::string& text) {
  std::optional<json> message = Utils::parseJSON(text);
  if (!message) {
    Utils::logInfo("Failed to parse JSON string.");
    return;
  }
  if (message->contains("cmdid")) {
    std::optional<std::int64_t> cmdid = integerOf(*message, "cmdid");
    if (!cmdid) {
      Utils::logWarn("Message dropped: its \"cmdid\" is not an integer.");
      return;
    }
    sendMessage(MessageJsonHelper::makeResponse(*cmdid, ResponseStatus::ok));
  }
  const std::string type = stringOf(*message, "type");
  if (type == "displayCommand" || type == "advDispCommand") {
    MonitorFuncHelper::shared().addDisplayCommand(message);
  } else if (type == "firmwareUpdateCommand") {
    startFirmwareUpdates(*message);
  } else if (type == "reportResponseOk") {
  } else if (type == "RefreshAllStatus") {
    nUSBDeviceChangedCount = 10;
    MonitorFuncHelper::shared().refreshAll();
  } else {
    Utils::logInfo("Received text: " + text);
  }
}

void TarvikService::startFirmwareUpdates(const json& message) {
  auto list = message.find("monitorList");
  if (list == message.end() || !isArrayOfObjects(*list)) {
    Utils::logInfo("Invalid monitorList");
    return;
  }
  for (const json& entry : *list) {
    auto info = entry.find("updatePackageInfo");
    if (info == entry.end() || !info->is_object()) {
      Utils::logInfo("Invalid updatePackageInfo");
      continue;
    }
    const std::vector<std::string> arguments = installerArguments(entry, *info);
    if (std::optional<std::int64_t> userId = integerOf(*info, "userId")) {
      m_sUserId = *userId;
    } else {
      Utils::logInfo("userId is not an Int");
    }
    if (std::optional<ServerURL> url = packageURL(stringOf(*info, "packageUrl"))) Utils::downloadPackage(*url, arguments);
  }
}

std::optional<ServerURL> TarvikService::packageURL(const std::string& fileName) {
  std::string text;
  {
    std::lock_guard lock(settingsLock);
    text = std::string(isSSL ? "https" : "http") + "://" + Host + ":" + std::to_string(Port) + "/" + Folder +
           "/model/package/getModelPackageByModelName?filename=" + fileName;
  }
  return ParseHttpURL(text);
}
