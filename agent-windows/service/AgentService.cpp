#include "agent-windows/service/AgentService.h"

#include <atomic>

#include "agent-windows/monitors/MonitorRegistry.h"
#include "agent-windows/pipe/InstallerMessages.h"
#include "agent-windows/pipe/ServerIPC.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/service/CrashDump.h"
#include "agent-windows/sysevents/SysMsgHelper.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "moncontrol/api/LibraryState.h"

namespace {

std::atomic<bool> g_running{false};
constexpr std::uint32_t kWorkerPauseMs = 5000;
constexpr UCHAR kStartFailureLevel = 0;

// The SDK only declares it; defined here so no GUID library is needed.
constexpr GUID kHidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace

HalvanePexonClientServiceAA::HalvanePexonClientServiceAA(LPCWSTR serviceName, BOOL canStop,
                                                         BOOL canShutdown, BOOL canPauseContinue)
    : CServiceBaseAA(serviceName, canStop, canShutdown, canPauseContinue) {
  SetUnhandledExceptionFilter(WriteCrashDump);
}

HalvanePexonClientServiceAA::~HalvanePexonClientServiceAA() { ExitSeverIPC(); }

void HalvanePexonClientServiceAA::OnStart(DWORD, LPWSTR*) {
  LogInfo(L"HalvanePexonClientServiceAA OnStart!!!!!");
  SysMsgHelper* events = SysMsgHelper::GetInstance();
  events->AddCallback(SYS_MSG_CONSOLE_CONNECT, &OnSessionConnect, this);
  events->AddCallback(SYS_MSG_CONSOLE_DISCONNECT, &OnSessionDisconnect, this);
  events->AddCallback(SYS_MSG_SESSION_LOCK, &OnScreenLock, this);
  events->AddCallback(SYS_MSG_SESSION_UNLOCK, &OnScreenUnLock, this);
  events->AddCallback(SYS_MSG_SYSTEM_SUSPEND, &OnSysSuspend, this);
  events->AddCallback(SYS_MSG_SYSTEM_RESUME, &OnSysResum, this);
  events->AddCallback(SYS_MSG_DISPLAY_CHANGE, &OnDisplayChangeAA, this);
  InitMonitorRegistry();
  events->StartWindowThread(L"MonitorChangeClass", L"MonitorChangeWindow");
  g_running.store(true);

  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kHidInterfaceClass;
  m_deviceNotification = RegisterDeviceNotificationW(StatusHandle(), &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
  if (m_deviceNotification == nullptr)
    LogError(L"Failed to register device notification. Error code: %d", static_cast<int>(GetLastError()));

  m_work = CreateThreadpoolWork(&ServiceWorkerThread, this, nullptr);
  if (m_work == nullptr) {
    const DWORD error = GetLastError();
    WriteEventLogEntry(L"CreateThreadpoolWork failed", kStartFailureLevel);
    // A service without its worker does nothing: the manager must see it fail to start.
    throw error;
  }
  SubmitThreadpoolWork(m_work);
}

VOID CALLBACK HalvanePexonClientServiceAA::ServiceWorkerThread(PTP_CALLBACK_INSTANCE, PVOID, PTP_WORK) {
  Init();
  g_running.store(true);
  StartServerIPC(OnInstallerMessage);
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

void HalvanePexonClientServiceAA::OnSessionConnect(void*, WPARAM, LPARAM) {
  LogInfo(L"LumbraBackGroundService OnSessionConnect");
}

void HalvanePexonClientServiceAA::OnSessionDisconnect(void*, WPARAM, LPARAM) {
  LogInfo(L"LumbraBackGroundService OnSessionDisconnectLPVOID");
}

void HalvanePexonClientServiceAA::OnScreenLock(void*, WPARAM, LPARAM) {
  LogInfo(L"LumbraBackGroundService OnScreenLock");
}

void HalvanePexonClientServiceAA::OnScreenUnLock(void*, WPARAM, LPARAM) {
  LogInfo(L"LumbraBackGroundService OnScreenUnLock");
}

void HalvanePexonClientServiceAA::OnSysSuspend(void*, WPARAM, LPARAM) {
  LogInfo(L"LumbraBackGroundService OnSysSuspend");
}

void HalvanePexonClientServiceAA::OnSysResum(void*, WPARAM, LPARAM) { LogInfo(L"LumbraBackGroundService OnSysResum"); }

// Display and device changes: the refresh thread enumerates the monitors again.
void HalvanePexonClientServiceAA::OnDisplayChangeAA(void*, WPARAM, LPARAM) {
  LogInfo(L"LumbraBackGroundService OnDisplayChangeAA");
  WebSocketMgr::GetInstance()->SetDeviceChange(true);
  LogInfo(L"LumbraBackGroundService OnDisplayChangeAA OVER");
}
