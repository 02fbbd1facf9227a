#include "agent-windows/service/AgentService.h"

#include <atomic>
#include <thread>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/pipe/InstallerMessages.h"
#include "agent-windows/pipe/ServerIPC.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/LibraryState.h"

namespace {

std::atomic<bool> g_running{false};
constexpr std::uint32_t kWorkerPauseMs = 5000;

}  // namespace

HalvanePexonClientServiceAA::HalvanePexonClientServiceAA(LPCWSTR serviceName, BOOL canStop,
                                                         BOOL canShutdown, BOOL canPauseContinue)
    : CServiceBaseAA(serviceName, canStop, canShutdown, canPauseContinue) {}

HalvanePexonClientServiceAA::~HalvanePexonClientServiceAA() { ExitSeverIPC(); }

void HalvanePexonClientServiceAA::OnStart(DWORD, LPWSTR*) {
  LogInfo(L"HalvanePexonClientServiceAA OnStart!!!!!");
  InitMonitorRegistry();
  g_running.store(true);
  std::thread(ServiceWorkerThread).detach();
}

void HalvanePexonClientServiceAA::ServiceWorkerThread() {
  Init();
  StartServerIPC(OnInstallerMessage);
  g_running.store(true);
  WebSocketMgr* manager = WebSocketMgr::GetInstance();
  manager->SetDeviceChange(true);
  // Its outcome does not matter: the watchdog reconnects.
  manager->Connect();
  manager->StartHeartbeatThread();
  manager->StartReceiveThread();
  manager->StartMsgSendThread();
  manager->StartUpdateMonitorInfoThread();
  manager->StartWatchdogThread();
  while (g_running.load()) {
    tarvik::SleepMs(kWorkerPauseMs);
    LogInfo(L"ServiceWorkerThread End.");
  }
}

void HalvanePexonClientServiceAA::OnStop() { LogInfo(L"LumbraBackGroundService OnStop"); }

void HalvanePexonClientServiceAA::OnPause() { LogInfo(L"LumbraBackGroundService OnPause"); }

void HalvanePexonClientServiceAA::OnContinue() { LogInfo(L"LumbraBackGroundService OnContinue"); }
