// The loops of the manager's five worker threads.
#include <exception>

#include "agent-windows/CaughtException.h"
#include "agent-windows/GlobalMutex.h"
#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/monitors/PendingVcpCommands.h"
#include "agent-windows/monitors/StatusReports.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "foundation/sync/MutexGuard.h"
#include "foundation/text/TimeText.h"
#include "platform/win32/Win32.h"

namespace {

constexpr std::uint32_t kSecondMs = 1000;
constexpr std::uint32_t kBetweenMessagesMs = 10;
constexpr std::uint32_t kHeartbeatMs = 8000;
constexpr std::uint32_t kInstallPauseMs = 5000;

}  // namespace

void WebSocketMgr::WatchdogThread() {
  while (!m_bExit.load()) {
    if (!isConnected.load()) Connect();
    StartThread(m_sendThread, &WebSocketMgr::MsgSend);
    StartThread(m_receiveThread, &WebSocketMgr::ReceiveMsgSync);
    StartThread(m_heartbeatThread, &WebSocketMgr::HeartbeatLoop);
    StartThread(m_refreshThread, &WebSocketMgr::UpdateMonitorInfoLoop);
    tarvik::SleepMs(kSecondMs);
  }
}

void WebSocketMgr::MsgSend() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  for (;;) {
    LogInfo(L"MsgSend Thread Start.");
    if (m_bExit.load()) {
      LogInfo(L"MsgSend Thread over.");
      return;
    }
    std::shared_ptr<ServerConnection> connection = CurrentConnection();
    if (!isConnected.load() || !connection) {
      LogError(L"MsgSend Thread isConnected = false!");
      tarvik::SleepMs(kSecondMs);
      continue;
    }
    if (!SendFront(connection)) continue;
    LogInfo(L"MsgSend Thread End.");
    tarvik::SleepMs(kBetweenMessagesMs);
  }
}

bool WebSocketMgr::SendFront(const std::shared_ptr<ServerConnection>& connection) {
  std::optional<SendQueue::Front> front = m_qSendMsg.CopyFront();
  if (!front) {
    tarvik::SleepMs(kSecondMs);
    return true;
  }
  if (!front->item.needSend) {
    m_qSendMsg.RemoveFront(front->id);
    return true;
  }
  const std::string& msg = front->item.msg;
  try {
    std::size_t written = connection->Write(msg);
    if (written == 0) {
      ConnectionLost(connection);
      return true;
    }
    LogInfo(L"SendMsg Start wSize msg.msg=%d , wSize=%d", static_cast<int>(msg.size()), static_cast<int>(written));
    LogInfo(L"%S", msg.c_str());
    m_qSendMsg.RemoveFront(front->id);
    LogInfo(L"SendMsg End");
  } catch (const std::exception& e) {
    LogError(L"SendMsg Exception caught: ");
    LogError(L"%S", e.what());
    ConnectionLost(connection);
    tarvik::SleepMs(kSecondMs);
  } catch (...) {
    ConnectionLost(connection);
    LogError(L"SendMsg Exception caught: Unknown exception...");
  }
  return true;
}

void WebSocketMgr::ReceiveMsgSync() {
  LogInfo(L"Start ReceiveMsgSync!");
  while (!m_bExit.load()) {
    LogInfo(L"ReceiveMsgSync Start.");
    std::shared_ptr<ServerConnection> connection = CurrentConnection();
    if (!isConnected.load() || !connection) {
      tarvik::SleepMs(kSecondMs);
      continue;
    }
    ReceiveOnce(connection);
    LogInfo(L"ReceiveMsgSync End.");
  }
}

void WebSocketMgr::ReceiveOnce(const std::shared_ptr<ServerConnection>& connection) {
  try {
    std::string message = connection->Read();
    for (const std::string& text : m_receiveAccumulator.Append(message)) HandleMessage(text);
  } catch (const std::exception&) {
    ConnectionLost(connection);
    tarvik::SleepMs(kSecondMs);
  } catch (...) {
    ConnectionLost(connection);
  }
}

void WebSocketMgr::HeartbeatLoop() {
  for (;;) {
    LogInfo(L"StartHeartbeatThread Start. m_bExit = %d", m_bExit.load() ? 1 : 0);
    tarvik::SleepMs(kHeartbeatMs);
    if (m_bExit.load()) {
      LogInfo(L"StartHeartbeat Exit!");
      return;
    }
    if (isConnected.load()) {
      try {
        LogInfo(L"StartHeartbeat!");
        std::string report = GetSampleMonitorInfo();
        LogInfo(L"%S", report.c_str());
        SendMsg(report, true);
        LogInfo(L"StartHeartbeat add over!");
      } catch (...) {
        LogCaughtException(L"StartHeartbeatThread");
      }
    }
    LogInfo(L"StartHeartbeatThread End.");
  }
}

void WebSocketMgr::UpdateMonitorInfoLoop() {
  std::int64_t waitedForMutex = 0;  // seconds, over the cycles that did not get it
  for (;;) {
    LogInfo(L"StartUpdateMonitorInfoThread Start.");
    tarvik::SleepMs(kSecondMs);
    if (m_bExit.load()) {
      LogInfo(L"StartUpdateMonitorInfoThread Over.");
      return;
    }
    if (m_bIsInstall.load()) {
      tarvik::SleepMs(kInstallPauseMs);
      LogInfo(L"StartUpdateMonitorInfoThread g_bIsInstall = true.");
      continue;
    }
    if (!isConnected.load()) {
      LogError(L"StartUpdateMonitorInfoThread isConnected = false!");
      tarvik::SleepMs(kSecondMs);
      continue;
    }
    try {
      if (!RefreshMonitors(waitedForMutex)) continue;
    } catch (...) {
      LogCaughtException(L"StartUpdateMonitorInfoThread");
    }
    LogInfo(L"StartUpdateMonitorInfoThread End.");
  }
}

bool WebSocketMgr::RefreshMonitors(std::int64_t& waitedForMutex) {
  if (GetDeviceChange()) SetDeviceChange(!OnDeviceChangeRebindMessage());
  LogInfo(L"RunCacheCommand Start!");
  RunCacheCommand();
  if (!HasStaleMonitor()) return true;
  const std::int64_t start = GetCurrSeconds();
  MutexGuard guard(kGlobalMutexName, kGlobalMutexWaitMs);
  if (!guard.IsLocked()) {
    LogWarn(L"mtx.~MutexGuard()");
    guard.Release();
    waitedForMutex += GetCurrSeconds() - start;
    LogWarn(L"StartUpdateMonitorInfoThread MutexGuard Acquire = %lld", static_cast<long long>(waitedForMutex));
    return false;
  }
  waitedForMutex = 0;
  LogInfo(L"Start SendMsg! GetAllInfo.");
  SendMsg(GetAllInfo(), true);
  LogInfo(L"End   SendMsg! GetAllInfo.");
  return true;
}
