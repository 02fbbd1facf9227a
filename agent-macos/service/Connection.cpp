#include <exception>
#include <string>
#include <utility>

#include "agent-macos/log/Log.h"
#include "agent-macos/messages/MessageUtils.h"
#include "agent-macos/monitors/MonitorFuncHelper.h"
#include "agent-macos/service/Completions.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/system/ComputerName.h"

namespace {

constexpr std::uint16_t kCloseGoingAway = 1001;

}  // namespace

std::optional<ServerURL> TarvikService::webSocketURL() {
  std::lock_guard lock(settingsLock);
  const std::string text =
      std::string(isSSL ? "wss" : "ws") + "://" + Host + ":" + std::to_string(Port) + "/" + Folder + "/ws";
  return ParseWebSocketURL(text);
}

void TarvikService::connectWebSocket() {
  const std::optional<ServerURL> url = webSocketURL();
  Utils::logInfo("Connecting to WebSocket at " + (url ? url->text : std::string("unknown URL")) + "...");
  MonitorFuncHelper::shared().refreshAll();
  // Nothing to open: the next pass tries again, with whatever the settings are by then.
  if (!url) return;
  auto task = WebSocketTask::Create(*url, {{"SN", computerName().value_or("Unknown Computer")}});
  std::shared_ptr<WebSocketTask> replaced;
  {
    // With the reference, so that a disconnect meanwhile never clears the flag of this task.
    std::lock_guard lock(settingsLock);
    replaced = std::exchange(webSocketTask, task);
    task->Resume();
    isConnected = true;
  }
  // A task still open here would otherwise stay open until its server ends it.
  if (replaced) replaced->Cancel(kCloseGoingAway);
  Utils::logInfo("WebSocket connected.");
  armReceive(task);
}

std::shared_ptr<WebSocketTask> TarvikService::disconnectWebSocket() {
  std::shared_ptr<WebSocketTask> cancelled = cancelConnection();
  Utils::logInfo(cancelled ? "WebSocket connection closed by disconnectWebSocket()." : "WebSocket is already disconnected.");
  return cancelled;
}

std::shared_ptr<WebSocketTask> TarvikService::cancelConnection() {
  std::shared_ptr<WebSocketTask> task;
  {
    std::lock_guard lock(settingsLock);
    task = std::exchange(webSocketTask, nullptr);
    if (task) isConnected = false;
  }
  if (task) task->Cancel(kCloseGoingAway);
  return task;
}

void TarvikService::clearConnectedIfCurrent(const std::shared_ptr<WebSocketTask>& task) {
  std::lock_guard lock(settingsLock);
  // A replaced connection's late failure must not touch the one that replaced it.
  if (webSocketTask == task) isConnected = false;
}

void TarvikService::sendMessage(const nlohmann::json& message) {
  std::shared_ptr<WebSocketTask> task;
  {
    std::lock_guard lock(settingsLock);
    task = webSocketTask;
  }
  if (!task) {
    Utils::logInfo("WebSocket is not connected.");
    return;
  }
  std::string error;
  std::optional<std::string> text = jsonText(message, error);
  if (!text) {
    Utils::logInfo("Failed to encode JSON: " + error);
    return;
  }
  task->Send(*text, [completions = completions, task, sent = *text](const std::optional<std::string>& failure) {
    completions->run([&](TarvikService& service) {
      if (!failure) {
        Utils::logInfo("Message sent successfully. JSON: " + sent);
        return;
      }
      service.clearConnectedIfCurrent(task);
      Utils::logInfo("Failed to send message: " + *failure);
    });
  });
}

void TarvikService::armReceive(const std::shared_ptr<WebSocketTask>& task) {
  task->Receive([completions = completions, task](const WebSocketTask::ReceiveResult& result) {
    completions->run([&](TarvikService& service) { service.receiveMessage(task, result); });
  });
}

// A data message is only shown: like the platform's parser, only an array or an object is JSON here.
void TarvikService::logDataMessage(const std::string& data) {
  std::string error;
  std::optional<nlohmann::json> value = Utils::parseJSONValue(data, error);
  if (!value || !value->is_structured()) {
    Utils::logInfo("Failed to decode received data.");
    return;
  }
  Utils::logInfo("Received JSON: " + value->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void TarvikService::receiveMessage(const std::shared_ptr<WebSocketTask>& task, const WebSocketTask::ReceiveResult& result) {
  if (result.error) {
    clearConnectedIfCurrent(task);
    Utils::logInfo("Failed to receive message: " + *result.error);
    return;
  }
  try {
    if (result.text) {
      handleServerMessage(result.data);
    } else {
      logDataMessage(result.data);
    }
  } catch (const std::exception& e) {
    // One message that could not be handled must not end the receiving.
    Utils::logError(std::string("Handling a received message failed: ") + e.what());
  }
  bool current;
  {
    std::lock_guard lock(settingsLock);
    current = webSocketTask == task;
  }
  if (isRunning && isConnected && current) armReceive(task);
}
