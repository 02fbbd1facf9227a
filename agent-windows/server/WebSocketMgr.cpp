#include "agent-windows/server/WebSocketMgr.h"

#include <exception>
#include <utility>

#include <boost/system/system_error.hpp>

#include "agent-windows/monitors/PendingVcpCommands.h"
#include "agent-windows/server/CommandHandler.h"
#include "agent-windows/server/MyStreamSSL.h"
#include "agent-windows/server/PlainConnection.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "foundation/text/ComputerName.h"
#include "foundation/text/TimeText.h"

namespace {

constexpr std::int64_t kDeviceChangeSettleSeconds = 5;
constexpr std::uint32_t kConnectedPauseMs = 1000;

}  // namespace

WebSocketMgr::WebSocketMgr(MessageHandler handler)
    : m_messageHandler(handler ? std::move(handler) : MessageHandler(ParseControlCmd)) {}

WebSocketMgr::~WebSocketMgr() { Exit(); }

void WebSocketMgr::SetNetworkInfo(const std::string& host, const std::string& port,
                                  const std::string& protocol, const std::string& folder) {
  std::string prefix = folder;
  std::string target = "/ws";
  if (protocol == "https") {
    m_bTls = true;
    if (prefix.empty()) prefix = "/tarvik";
    target = prefix + "/ws";
  }
  m_host = host;
  m_port = port;
  m_target = target;
  LogInfo(L"SetNetworkInfo host : %S ", m_host.c_str());
  LogInfo(L"SetNetworkInfo port : %S ", m_port.c_str());
  LogInfo(L"SetNetworkInfo url : %S ", m_target.c_str());
  SetPackageUrl(protocol + "://" + host + ":" + port + prefix +
                "/model/package/getModelPackageByModelName?filename=");
}

void WebSocketMgr::SetPackageUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(m_packageUrlMutex);
  m_packageUrl = url;
}

std::string WebSocketMgr::GetPackageUrl() {
  std::lock_guard<std::mutex> lock(m_packageUrlMutex);
  return m_packageUrl;
}

bool WebSocketMgr::Connect() {
  std::lock_guard lock(m_connectMutex);
  // The old connection goes first, so that a read blocked on it returns.
  DropConnection();
  return m_bTls ? ConnectTls() : ConnectWs();
}

bool WebSocketMgr::ConnectWs() {
  LogInfo(L"ConnectWs Start");
  try {
    auto connection = std::make_shared<PlainConnection>(m_connectLimit);
    connection->ConnectSocket(m_host, m_port);
    if (!connection->Prepare(GetComputerNameString())) {
      LogError(L"ConnectWs Error: Socket is not open");
      return false;
    }
    connection->Upgrade(m_host, m_target);
    SetConnection(std::move(connection));
    OnConnected();
    LogInfo(L"ConnectWs OK");
    return true;
  } catch (const boost::system::system_error& e) {
    LogError(L"ConnectWs Boost System Error caught: ");
    LogError(L"%S", e.what());
  } catch (const std::exception& e) {
    LogError(L"ConnectWs Exception caught: ");
    LogError(L"%S", e.what());
  } catch (...) {
    LogError(L"ConnectWs Unknown exception caught");
  }
  OnDisconnected();
  return false;
}

bool WebSocketMgr::ConnectTls() {
  std::shared_ptr<MyStreamSSL> connection;
  try {
    connection = std::make_shared<MyStreamSSL>(m_connectLimit);
  } catch (const std::exception& e) {
    LogError(L"%S", e.what());
    return false;
  }
  if (!connection->ConnectWss(m_host, m_port, m_target)) return false;
  SetConnection(std::move(connection));
  OnConnected();
  return true;
}

std::shared_ptr<ServerConnection> WebSocketMgr::CurrentConnection() {
  std::lock_guard lock(m_connectionMutex);
  return m_connection;
}

void WebSocketMgr::SetConnection(std::shared_ptr<ServerConnection> connection) {
  std::lock_guard lock(m_connectionMutex);
  m_connection = std::move(connection);
}

void WebSocketMgr::DropConnection() {
  std::shared_ptr<ServerConnection> old;
  {
    std::lock_guard lock(m_connectionMutex);
    old = std::move(m_connection);
  }
  if (old) old->Close();
}

void WebSocketMgr::ConnectionLost(const std::shared_ptr<ServerConnection>& connection) {
  if (CurrentConnection() == connection) OnDisconnected();
}

void WebSocketMgr::SetDeviceChange(bool changed) {
  std::lock_guard lock(m_deviceChangeMutex);
  if (changed) {
    lastUpdateTime = GetCurrSeconds();
    LogInfo(L"SetDeviceChange lastUpdateTime = %lld", static_cast<long long>(lastUpdateTime));
    ++m_deviceChangeMarks;
    m_bDeviceChanged = true;
  } else if (m_deviceChangeMarks == m_deviceChangeSeen) {
    m_bDeviceChanged = false;
  }
}

bool WebSocketMgr::GetDeviceChange() {
  std::lock_guard lock(m_deviceChangeMutex);
  if (!m_bDeviceChanged) return false;
  std::int64_t now = GetCurrSeconds();
  LogInfo(L"GetDeviceChange GetCurrSeconds = %lld lastUpdateTime = %lld", static_cast<long long>(now),
          static_cast<long long>(lastUpdateTime));
  if (now - lastUpdateTime <= kDeviceChangeSettleSeconds) return false;
  m_deviceChangeSeen = m_deviceChangeMarks;
  return true;
}

void WebSocketMgr::SendMsg(const std::string& msg, bool needSend) {
  std::size_t size = m_qSendMsg.Push(SendItem{needSend, {}, msg});
  LogInfo(L"SendMsg === m_qSendMsg size = %d", static_cast<int>(size));
}

void WebSocketMgr::SendMsg(const std::string& msg, const std::string& msgKey, bool dedupe) {
  m_qSendMsg.PushKeyed(SendItem{true, msgKey, msg}, dedupe);
}

void WebSocketMgr::ClearSendQueue() { m_qSendMsg.Clear(); }

void WebSocketMgr::OnConnected() {
  tarvik::SleepMs(kConnectedPauseMs);
  isConnected.store(true);
  SetDeviceChange(true);
}

void WebSocketMgr::OnDisconnected() {
  isConnected.store(false);
  TakePendingCommands();  // a setting is applied only while the server that sent it listens
  ClearSendQueue();
}

void WebSocketMgr::HandleMessage(const std::string& text) {
  try {
    LogInfo(L".........................................");
    LogInfo(L"%S", text.c_str());
    m_messageHandler(text);
    LogInfo(L"HandleMessage OUT !");
  } catch (const std::exception& e) {
    LogError(L"Received Exception caught: ");
    LogError(L"%S", e.what());
  } catch (...) {
    LogError(L"Received Exception caught: Unknown exception...");
  }
}

void WebSocketMgr::StartThread(std::thread& thread, void (WebSocketMgr::*body)()) {
  std::lock_guard lock(m_threadsMutex);
  if (!thread.joinable() && !m_bExit.load()) thread = std::thread(body, this);
}

void WebSocketMgr::StartHeartbeatThread() {
  LogInfo(L"Start StartHeartbeatThread!");
  StartThread(m_heartbeatThread, &WebSocketMgr::HeartbeatLoop);
  LogInfo(L"Heartbeat thread running in a separate thread.");
}

void WebSocketMgr::StartReceiveThread() {
  LogInfo(L"Start StartReceiveThread!");
  StartThread(m_receiveThread, &WebSocketMgr::ReceiveMsgSync);
  LogInfo(L"Receive thread running in a separate thread.");
}

void WebSocketMgr::StartMsgSendThread() { StartThread(m_sendThread, &WebSocketMgr::MsgSend); }

void WebSocketMgr::StartUpdateMonitorInfoThread() {
  LogInfo(L"Start StartUpdateMonitorInfoThread!");
  StartThread(m_refreshThread, &WebSocketMgr::UpdateMonitorInfoLoop);
  LogInfo(L"StartUpdateMonitorInfoThread Thread Run.");
}

void WebSocketMgr::StartWatchdogThread() { StartThread(m_watchdogThread, &WebSocketMgr::WatchdogThread); }

void WebSocketMgr::Exit() {
  m_bExit.store(true);
  std::thread threads[5];
  {
    std::lock_guard lock(m_threadsMutex);
    threads[0] = std::move(m_watchdogThread);
    threads[1] = std::move(m_sendThread);
    threads[2] = std::move(m_receiveThread);
    threads[3] = std::move(m_heartbeatThread);
    threads[4] = std::move(m_refreshThread);
  }
  // The watchdog first, so that no reconnect follows the close below.
  if (threads[0].joinable()) threads[0].join();
  DropConnection();
  for (std::thread& thread : threads)
    if (thread.joinable()) thread.join();
}
