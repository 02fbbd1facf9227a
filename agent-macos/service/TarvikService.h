// The macOS agent: one object that holds what its task loops, its connection and its settings
// share, and whose operations run them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "agent-macos/connection/WebSocketTask.h"
#include "platform/macos/CoreFoundation.h"
#include "platform/macos/Dispatch.h"
#include "platform/macos/IOKit.h"

struct InstallProgressInfo;
struct ProfilePayload;

enum class TarvikWebSocketServerStatus { uninitialized = 0, connected = 1, reconnect = 2 };
const char* textOf(TarvikWebSocketServerStatus status);

// A task loop as submitted to its queue.
struct DispatchWorkItem {
  dispatch_function_t function;
  void* context;
};

class TarvikService {
 public:
  TarvikService();
  // Stops as stopService does, without ending the process.
  ~TarvikService();
  TarvikService(const TarvikService&) = delete;
  TarvikService& operator=(const TarvikService&) = delete;

  // Lifecycle.
  void startService();
  [[noreturn]] void stopService();

  // Task loops and the monitor loop.
  void heartbeatTask();
  void displayCommandTask();
  void updateMonitorTask();
  void installStatusTask();
  void pollInstallStatus();
  void monitorTasks();

  // Settings.
  void loadConfig();
  bool loadMobileConfig();
  void handleUpdateServerIp();

  // Connection.
  std::optional<ServerURL> webSocketURL();
  void connectWebSocket();
  // The connection it cancelled, if there was one.
  std::shared_ptr<WebSocketTask> disconnectWebSocket();
  void sendMessage(const nlohmann::json& message);
  void handleServerMessage(const std::string& text);
  // Where the server keeps the package named fileName; none when that makes no URL.
  std::optional<ServerURL> packageURL(const std::string& fileName);

  // Notifications. The agent object itself is the observer: the stop removes it before anything
  // of the object goes.
  void addObservers();
  void removeObservers();
  void onServiceCommand(CFDictionaryRef userInfo);
  void onInstallProgressUpdate(CFDictionaryRef userInfo);
  // On the main thread: arrivals and removals of USB devices restart the monitor refreshes.
  void registerUSBNotifications();
  void unregisterUSBNotifications();
  // An IOKit callback: logs line once, however many devices iterator holds, and re-arms it.
  void onUSBDeviceEvent(const char* line, io_iterator_t iterator);
  void onUSBDeviceChanged();

  dispatch_queue_t queue1;
  dispatch_queue_t queue2;
  dispatch_queue_t queue4;
  dispatch_queue_t queue5;
  dispatch_queue_t monitorQueue;
  std::atomic<std::int64_t> m_sUserId{1};
  std::atomic<bool> isRunning{true};
  // Set first by the stop: no command, progress or USB handler acts after it.
  std::atomic<bool> stopBegun{false};
  std::atomic<bool> isConnected{false};
  std::shared_ptr<WebSocketTask> webSocketTask;  // under settingsLock
  std::atomic<TarvikWebSocketServerStatus> webSocketStatus{TarvikWebSocketServerStatus::uninitialized};
  std::atomic<std::int64_t> nUSBDeviceChangedCount{10};
  std::atomic<bool> isImmediatelyHeartbeat{false};
  std::atomic<bool> isImmediatelyRunDisplayCommand{false};
  std::atomic<bool> isImmediatelyUpdateMonitor{false};
  double intervalHeartbeat = 10.0;
  double intervalRunDisplayCommand = 10.0;
  double intervalUpdateMonitor = 10.0;
  // Each touched only by its own task.
  double timerHeartbeat = 0.0;
  double timerRunDisplayCommand = 0.0;
  double timerUpdateMonitor = 0.0;
  std::atomic<bool> isTask1Running{false};
  std::atomic<bool> isTask2Running{false};
  std::atomic<bool> isTask4Running{false};
  std::atomic<bool> isTask5Running{false};
  std::string Host;  // under settingsLock
  std::atomic<std::int64_t> Port{443};
  std::atomic<bool> isSSL{true};
  std::string Folder{"tarvik"};  // under settingsLock
  dispatch_group_t dispatchGroup;
  std::vector<DispatchWorkItem> taskWorkItems;
  CFStringRef keyLog;
  CFStringRef keyServer;
  CFStringRef keyPort;
  CFStringRef keyProtocol;
  CFStringRef keyFolder;
  IONotificationPortRef usbNotifyPort = nullptr;
  io_iterator_t usbAddedIter = 0;
  io_iterator_t usbRemovedIter = 0;

  // Guards the texts of the settings and the connection's reference, which other threads replace.
  mutable std::mutex settingsLock;

 private:
  class Completions;

  // The connection the stop cancelled, if any.
  std::shared_ptr<WebSocketTask> stopSteps();
  std::shared_ptr<WebSocketTask> cancelConnection();
  void applyMobileConfig(const ProfilePayload& payload);
  void applyManagedPreferences(const std::string& server);
  void armReceive(const std::shared_ptr<WebSocketTask>& task);
  void receiveMessage(const std::shared_ptr<WebSocketTask>& task, const WebSocketTask::ReceiveResult& result);
  void logDataMessage(const std::string& data);
  void clearConnectedIfCurrent(const std::shared_ptr<WebSocketTask>& task);
  void startFirmwareUpdates(const nlohmann::json& message);
  void relayInstallProgress(const InstallProgressInfo& info);
  void relayInstallStatus();
  static void restartRefreshesOnMainQueue(void* completions);

  // Held by the start and the stop: a signal during the start stops what the start has set up
  // once it has, rather than alongside it.
  std::mutex lifecycleLock;

  // Completions of the connections run through it, so that none runs once the agent is gone.
  std::shared_ptr<Completions> completions;
};
