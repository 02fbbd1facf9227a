#include "agent-macos/service/TarvikService.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "agent-macos/log/Log.h"
#include "agent-macos/service/Completions.h"

namespace {

dispatch_queue_t backgroundSerialQueue(const char* label) {
  dispatch_queue_attr_t attributes = dispatch_queue_attr_make_with_qos_class(DISPATCH_QUEUE_SERIAL, QOS_CLASS_BACKGROUND, 0);
  return dispatch_queue_create(label, attributes);
}

void nothing(void*) {}

// Longer than a close to a live server takes; a silent one is not waited for.
constexpr std::chrono::seconds kCloseWait{2};

}  // namespace

const char* textOf(TarvikWebSocketServerStatus status) {
  switch (status) {
    case TarvikWebSocketServerStatus::connected:
      return "connected";
    case TarvikWebSocketServerStatus::reconnect:
      return "reconnect";
    default:
      return "uninitialized";
  }
}

TarvikService::TarvikService()
    : queue1(backgroundSerialQueue("com.quelmo.tarvik.queue1")),
      queue2(backgroundSerialQueue("com.quelmo.tarvik.queue2")),
      queue4(backgroundSerialQueue("com.quelmo.tarvik.queue4")),
      queue5(backgroundSerialQueue("com.quelmo.tarvik.queue5")),
      monitorQueue(backgroundSerialQueue("com.quelmo.tarvik.monitorQueue")),
      dispatchGroup(dispatch_group_create()),
      keyLog(CFSTR("LogLevel")),
      keyServer(CFSTR("Server")),
      keyPort(CFSTR("Port")),
      keyProtocol(CFSTR("Protocol")),
      keyFolder(CFSTR("Folder")),
      completions(std::make_shared<Completions>(this)) {}

TarvikService::~TarvikService() {
  Utils::logInfo("TarvikService deinitialized.");
  stopSteps();
  // The monitor loop is not part of the group; it ends at the top of its next pass, and a
  // connection it was making meanwhile goes too.
  dispatch_sync_f(monitorQueue, nullptr, nothing);
  cancelConnection();
  completions->close();
  for (dispatch_queue_t queue : {queue1, queue2, queue4, queue5, monitorQueue}) dispatch_release(queue);
  dispatch_release(dispatchGroup);
}

std::shared_ptr<WebSocketTask> TarvikService::stopSteps() {
  stopBegun = true;
  std::lock_guard lock(lifecycleLock);
  Utils::logInfo("Service stopped.");
  removeObservers();
  unregisterUSBNotifications();
  isRunning = false;
  dispatch_group_wait(dispatchGroup, DISPATCH_TIME_FOREVER);
  std::shared_ptr<WebSocketTask> closing = disconnectWebSocket();
  Utils::logInfo("Service stopped over...");
  return closing;
}

void TarvikService::stopService() {
  std::shared_ptr<WebSocketTask> closing = stopSteps();
  // The server hears the goodbye before the process goes.
  if (closing) closing->WaitUntilEnded(kCloseWait);
  // Ends at once with every thread in it: no static destructor runs under a live thread.
  std::fflush(stdout);
  _exit(0);
}
