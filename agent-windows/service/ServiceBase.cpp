#include "agent-windows/service/ServiceBase.h"

#include <string>

#include "foundation/log/Log.h"
#include "foundation/log/WideFormat.h"

namespace {

// {BE2E880E-F79F-4C30-9C95-09F003A0A7EA}
const GUID kEventProvider = {0xBE2E880E, 0xF79F, 0x4C30, {0x9C, 0x95, 0x09, 0xF0, 0x03, 0xA0, 0xA7, 0xEA}};

constexpr UCHAR kLevelError = 2;
constexpr std::size_t kEventTextLength = 260;

// One counter for every pending report of the process; guarded by the status lock.
DWORD g_checkPoint = 1;

}  // namespace

CServiceBaseAA* CServiceBaseAA::s_service = nullptr;

BOOL CServiceBaseAA::Run(CServiceBaseAA& service) {
  LogInfo(L"VestrelBackGroundService Run---------");
  s_service = &service;
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(service.m_name), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table);
}

CServiceBaseAA::CServiceBaseAA(LPCWSTR serviceName, BOOL canStop, BOOL canShutdown,
                               BOOL canPauseContinue)
    : m_name(serviceName != nullptr ? serviceName : L"") {
  DWORD accepted = 0;
  if (canStop) accepted |= SERVICE_ACCEPT_STOP;
  if (canShutdown) accepted |= SERVICE_ACCEPT_SHUTDOWN;
  if (canPauseContinue) accepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
  m_status = SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, accepted, 0, 0, 0, 0};

  ULONG result = EventRegister(&kEventProvider, nullptr, nullptr, &m_eventProvider);
  if (result != ERROR_SUCCESS) {
    LogError(L"Provider not registered. EventRegister failed with %d", static_cast<int>(result));
    m_eventProvider = 0;
  }
}

CServiceBaseAA::~CServiceBaseAA() {
  if (m_eventProvider != 0) EventUnregister(m_eventProvider);
}

void WINAPI CServiceBaseAA::ServiceMain(DWORD argc, LPWSTR* argv) {
  SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerW(s_service->m_name, ServiceCtrlHandler);
  if (handle == nullptr) {
    // Without a status handle no state reaches the manager; the service cannot start.
    LogError(L"RegisterServiceCtrlHandler failed w/err 0x%08lx", GetLastError());
    return;
  }
  {
    std::lock_guard<std::mutex> lock(s_service->m_statusMutex);
    s_service->m_statusHandle = handle;
  }
  s_service->Start(argc, argv);
}

void WINAPI CServiceBaseAA::ServiceCtrlHandler(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP: s_service->Stop(); break;
    case SERVICE_CONTROL_PAUSE: s_service->Pause(); break;
    case SERVICE_CONTROL_CONTINUE: s_service->Continue(); break;
    case SERVICE_CONTROL_SHUTDOWN: s_service->Shutdown(); break;
    default: break;
  }
}

void CServiceBaseAA::Start(DWORD argc, LPWSTR* argv) {
  try {
    LogInfo(L"VestrelBackGroundService StartAA---------");
    SetServiceStatus(SERVICE_START_PENDING);
    OnStart(argc, argv);
    SetServiceStatus(SERVICE_RUNNING);
  } catch (DWORD error) {
    WriteErrorLogEntry(L"Service Start", error);
    SetServiceStatus(SERVICE_STOPPED, error);
    LogError(L"VestrelBackGroundService Start failed1---------");
  } catch (...) {
    WriteEventLogEntry(L"Service failed to start.", kLevelError);
    SetServiceStatus(SERVICE_STOPPED);
    LogError(L"VestrelBackGroundService Start failed2---------");
  }
}

void CServiceBaseAA::Stop() {
  ChangeState(SERVICE_STOP_PENDING, &CServiceBaseAA::OnStop, SERVICE_STOPPED, L"Service Stop",
              L"Service failed to stop.", CurrentState());
}

void CServiceBaseAA::Pause() {
  ChangeState(SERVICE_PAUSE_PENDING, &CServiceBaseAA::OnPause, SERVICE_PAUSED, L"Service Pause",
              L"Service failed to pause.", SERVICE_RUNNING);
}

void CServiceBaseAA::Continue() {
  ChangeState(SERVICE_CONTINUE_PENDING, &CServiceBaseAA::OnContinue, SERVICE_RUNNING,
              L"Service Continue", L"Service failed to resume.", SERVICE_PAUSED);
}

void CServiceBaseAA::ChangeState(DWORD pending, void (CServiceBaseAA::*operation)(), DWORD done,
                                 PCWSTR function, PCWSTR failure, DWORD fallback) {
  try {
    SetServiceStatus(pending);
    (this->*operation)();
    SetServiceStatus(done);
  } catch (DWORD error) {
    WriteErrorLogEntry(function, error);
    SetServiceStatus(fallback);
  } catch (...) {
    WriteEventLogEntry(failure, kLevelError);
    SetServiceStatus(fallback);
  }
}

void CServiceBaseAA::Shutdown() {
  try {
    OnShutdown();
    SetServiceStatus(SERVICE_STOPPED);
  } catch (DWORD error) {
    WriteErrorLogEntry(L"Service SDAA", error);
  } catch (...) {
    WriteEventLogEntry(L"Service failed to sd.", kLevelError);
  }
}

void CServiceBaseAA::OnStart(DWORD, LPWSTR*) {}
void CServiceBaseAA::OnStop() {}
void CServiceBaseAA::OnPause() {}
void CServiceBaseAA::OnContinue() {}
void CServiceBaseAA::OnShutdown() {}

DWORD CServiceBaseAA::CurrentState() {
  std::lock_guard<std::mutex> lock(m_statusMutex);
  return m_status.dwCurrentState;
}

void CServiceBaseAA::SetServiceStatus(DWORD currentState, DWORD win32ExitCode, DWORD waitHint) {
  // The record, the checkpoint and the report go together, so reports from the two threads
  // reach the manager in checkpoint order.
  std::lock_guard<std::mutex> lock(m_statusMutex);
  m_status.dwCurrentState = currentState;
  m_status.dwWin32ExitCode = win32ExitCode;
  m_status.dwWaitHint = waitHint;
  m_status.dwCheckPoint =
      (currentState == SERVICE_RUNNING || currentState == SERVICE_STOPPED) ? 0 : g_checkPoint++;
  SERVICE_STATUS report = m_status;
  ::SetServiceStatus(m_statusHandle, &report);
}

SERVICE_STATUS_HANDLE CServiceBaseAA::StatusHandle() {
  std::lock_guard<std::mutex> lock(m_statusMutex);
  return m_statusHandle;
}

void CServiceBaseAA::WriteEventLogEntry(PCWSTR message, UCHAR level) {
  if (m_eventProvider != 0) EventWriteString(m_eventProvider, level, 0, message);
}

void CServiceBaseAA::WriteErrorLogEntry(PCWSTR function, DWORD error) {
  std::wstring text = tarvik::FormatWide(L"%s failed w/err 0x%08lx", function, error);
  if (text.size() >= kEventTextLength) text.resize(kEventTextLength - 1);
  WriteEventLogEntry(text.c_str(), kLevelError);
}
