#include <atomic>
#include <utility>

#include "agent-macos/log/Log.h"
#include "agent-macos/monitors/MonitorFuncHelper.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/service/TaskWait.h"
#include "foundation/clock/Clock.h"
#include "moncontrol/api/Devices.h"

namespace {

template <void (TarvikService::*task)()>
void runTask(void* service) {
  (static_cast<TarvikService*>(service)->*task)();
}

// Tasks 1 and 2: their work while connected, then their wait, until the stop.
template <typename Work>
void connectedLoop(TarvikService& service, std::atomic<bool>& inLoop, Work work, double interval,
                   std::atomic<bool>& wake, double& timer) {
  if (!service.isRunning) return;
  inLoop = true;
  do {
    if (service.isConnected) work();
    waitWithWakeUp(interval, wake, timer);
  } while (service.isRunning);
  inLoop = false;
}

}  // namespace

void TarvikService::startService() {
  std::lock_guard lock(lifecycleLock);
  Utils::logInfo("Service started...");
  isRunning = true;
  loadConfig();
  addObservers();
  registerUSBNotifications();
  nUSBDeviceChangedCount = 10;
  taskWorkItems = {{runTask<&TarvikService::heartbeatTask>, this},
                   {runTask<&TarvikService::displayCommandTask>, this},
                   {runTask<&TarvikService::updateMonitorTask>, this},
                   {runTask<&TarvikService::installStatusTask>, this}};
  dispatch_queue_t queues[] = {queue1, queue2, queue4, queue5};
  for (std::size_t i = 0; i < taskWorkItems.size(); ++i)
    dispatch_group_async_f(dispatchGroup, queues[i], taskWorkItems[i].context, taskWorkItems[i].function);
  dispatch_async_f(monitorQueue, this, runTask<&TarvikService::monitorTasks>);
  Utils::logInfo("Service started over...");
}

void TarvikService::heartbeatTask() {
  connectedLoop(*this, isTask1Running, [this] { sendMessage(MonitorFuncHelper::shared().buildStatusReport()); },
                intervalHeartbeat, isImmediatelyHeartbeat, timerHeartbeat);
}

void TarvikService::displayCommandTask() {
  connectedLoop(*this, isTask2Running, [] { MonitorFuncHelper::shared().runDisplayCommands(); },
                intervalRunDisplayCommand, isImmediatelyRunDisplayCommand, timerRunDisplayCommand);
}

void TarvikService::updateMonitorTask() {
  if (!isRunning) return;
  isTask4Running = true;
  do {
    if (nUSBDeviceChangedCount < 1) {
      tarvik::SleepMs(1000);
      continue;
    }
    tarvik::SleepMs(2000);
    // Counted down in one step, so that a reset to 10 meanwhile is never lost.
    nUSBDeviceChangedCount.fetch_sub(1);
    MonitorFuncHelper& monitors = MonitorFuncHelper::shared();
    monitors.lastDetectCount = GetMonCtrlCount(0);
    monitors.refreshMonitors();
    waitWithWakeUp(intervalUpdateMonitor, isImmediatelyUpdateMonitor, timerUpdateMonitor);
  } while (isRunning);
  isTask4Running = false;
}

void TarvikService::installStatusTask() {
  while (isRunning) {
    isTask5Running = true;
    pollInstallStatus();
    isTask5Running = false;
  }
}

void TarvikService::pollInstallStatus() {
  while (isRunning) {
    // Left in place while disconnected, so the last report is relayed after the reconnect.
    if (isConnected && !stopBegun) relayInstallStatus();
    tarvik::SleepMs(1000);
  }
}

void TarvikService::monitorTasks() {
  Utils::logInfo("Monitoring tasks start...");
  for (;;) {
    if (!isRunning) return;
    Utils::logInfo("Monitoring tasks...");
    const std::pair<const std::atomic<bool>*, const char*> tasks[] = {
        {&isTask1Running, "Warning: Task 1 is not running!"},
        {&isTask2Running, "Warning: Task 2 is not running!"},
        {&isTask4Running, "Warning: Task 4 is not running!"},
        {&isTask5Running, "Warning: Task 5 is not running!"}};
    for (const auto& [running, warning] : tasks)
      if (!*running) Utils::logInfo(warning);
    loadConfig();
    if (webSocketStatus == TarvikWebSocketServerStatus::reconnect) disconnectWebSocket();
    if (!isConnected && isRunning) {
      Utils::logInfo("WebSocket is disconnected. Attempting to reconnect...");
      connectWebSocket();
      if (isConnected) webSocketStatus = TarvikWebSocketServerStatus::connected;
    }
    tarvik::SleepMs(5000);
  }
}
