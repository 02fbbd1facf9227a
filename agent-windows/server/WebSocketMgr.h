// The agent's one connection to the management server: the settings it connects with, the
// connection itself (plain or TLS), its state, the device-change mark that the monitor-refresh
// thread follows, the install flag, the send queue and the five worker threads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "agent-windows/Singleton.h"
#include "agent-windows/server/ReceiveAccumulator.h"
#include "agent-windows/server/SendQueue.h"
#include "agent-windows/server/ServerConnection.h"

class WebSocketMgr : public Singleton<WebSocketMgr> {
 public:
  using MessageHandler = std::function<void(const std::string& text)>;

  // Complete texts from the server go to ParseControlCmd; tests may hand them elsewhere.
  explicit WebSocketMgr(MessageHandler handler = {});
  // Stops the worker threads; the process-wide instance is never destroyed.
  ~WebSocketMgr() override;

  // Called once at start, before the service runs. "https" (exactly) means TLS, with the
  // folder (default "/tarvik") before "/ws"; any other protocol requests "/ws".
  void SetNetworkInfo(const std::string& host, const std::string& port, const std::string& protocol,
                      const std::string& folder);
  void SetPackageUrl(const std::string& url);
  std::string GetPackageUrl();

  const std::string& GetHost() const { return m_host; }
  const std::string& GetPort() const { return m_port; }
  // The request path of the WebSocket upgrade.
  const std::string& GetTarget() const { return m_target; }
  bool IsTls() const { return m_bTls; }

  // Resolve, connect, TLS handshake and upgrade each give up after this long (default 15 s),
  // so a server that accepts and then says nothing never holds the watchdog.
  void SetConnectTimeLimit(std::chrono::milliseconds limit) { m_connectLimit = limit; }

  // One attempt on the configured path; a failed plain attempt drops the queued messages and
  // VCP commands, a failed TLS attempt keeps them.
  bool Connect();
  bool IsConnected() const { return isConnected.load(); }

  // true marks a device change now; a mark within 5 s of the last pushes its time out.
  // false clears only the mark that the last true answer of GetDeviceChange saw, so a change
  // marked while the monitors were being rebound is still handled.
  void SetDeviceChange(bool changed);
  // True when a change is marked and more than 5 s old.
  bool GetDeviceChange();

  void SetIsInstall(bool installing) { m_bIsInstall.store(installing); }

  void SendMsg(const std::string& msg, bool needSend);
  // For progress reports: keyed by the monitor's serial, see SendQueue::PushKeyed.
  void SendMsg(const std::string& msg, const std::string& msgKey, bool dedupe);
  void ClearSendQueue();
  std::vector<SendItem> QueuedMessages() const { return m_qSendMsg.Items(); }

  void OnConnected();
  void OnDisconnected();

  void HandleMessage(const std::string& text);

  void StartHeartbeatThread();
  void StartReceiveThread();
  void StartMsgSendThread();
  void StartUpdateMonitorInfoThread();
  void StartWatchdogThread();
  // Ends every loop: sets m_bExit, closes the connection so a blocked read returns, and
  // waits for the threads.
  void Exit();

 private:
  bool ConnectWs();
  bool ConnectTls();
  std::shared_ptr<ServerConnection> CurrentConnection();
  // Takes the connection away and closes it; it is destroyed once no thread uses it.
  void DropConnection();
  void SetConnection(std::shared_ptr<ServerConnection> connection);
  // A failure on a connection that a reconnect has already replaced changes nothing.
  void ConnectionLost(const std::shared_ptr<ServerConnection>& connection);
  void StartThread(std::thread& thread, void (WebSocketMgr::*body)());

  void MsgSend();
  void ReceiveMsgSync();
  void HeartbeatLoop();
  void UpdateMonitorInfoLoop();
  void WatchdogThread();
  // One send cycle; false when the loop should pause 1 s before the next.
  bool SendFront(const std::shared_ptr<ServerConnection>& connection);
  void ReceiveOnce(const std::shared_ptr<ServerConnection>& connection);
  // One refresh cycle's monitor work: rebind after a device change, the queued VCP commands,
  // the full report of stale monitors. False when "Global\HalvaneSDK" was not obtained for
  // the report; waitedForMutex adds up the seconds waited for it in vain.
  bool RefreshMonitors(std::int64_t& waitedForMutex);

  MessageHandler m_messageHandler;
  std::string m_host;
  std::string m_port;
  std::string m_target;
  std::mutex m_packageUrlMutex;
  std::string m_packageUrl;
  ReceiveAccumulator m_receiveAccumulator;  // receive thread only

  std::mutex m_connectMutex;     // one connect attempt at a time
  std::mutex m_connectionMutex;  // guards the pointer, never held during I/O
  std::shared_ptr<ServerConnection> m_connection;
  bool m_bTls = false;
  std::chrono::milliseconds m_connectLimit{15000};
  std::atomic<bool> isConnected{false};

  std::mutex m_deviceChangeMutex;
  bool m_bDeviceChanged = false;
  std::int64_t lastUpdateTime = 0;
  std::uint64_t m_deviceChangeMarks = 0;
  std::uint64_t m_deviceChangeSeen = 0;

  SendQueue m_qSendMsg;
  std::atomic<bool> m_bExit{false};
  std::atomic<bool> m_bIsInstall{false};

  std::mutex m_threadsMutex;
  std::thread m_sendThread;
  std::thread m_receiveThread;
  std::thread m_heartbeatThread;
  std::thread m_refreshThread;
  std::thread m_watchdogThread;
};
