// Connects one service object to the Service Control Manager: runs the dispatcher, turns its
// controls into the virtual operations below and reports every state change. A virtual
// operation reports failure by throwing a DWORD Windows error code.
#pragma once

#include <mutex>

#include "platform/win32/Win32.h"

class CServiceBaseAA {
 public:
  // Runs the dispatcher on the calling thread until the service has stopped; false when it
  // could not start (GetLastError says why).
  static BOOL Run(CServiceBaseAA& service);

  CServiceBaseAA(LPCWSTR serviceName, BOOL canStop = TRUE, BOOL canShutdown = TRUE,
                 BOOL canPauseContinue = FALSE);
  virtual ~CServiceBaseAA();

  CServiceBaseAA(const CServiceBaseAA&) = delete;
  CServiceBaseAA& operator=(const CServiceBaseAA&) = delete;

 protected:
  virtual void OnStart(DWORD argc, LPWSTR* argv);
  virtual void OnStop();
  virtual void OnPause();
  virtual void OnContinue();
  virtual void OnShutdown();
  virtual void WriteEventLogEntry(PCWSTR message, UCHAR level);

  void SetServiceStatus(DWORD currentState, DWORD win32ExitCode = 0, DWORD waitHint = 0);
  // The handle the manager gave the service, also the recipient of its device notifications.
  SERVICE_STATUS_HANDLE StatusHandle();
  void WriteErrorLogEntry(PCWSTR function, DWORD error);

 private:
  static void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
  static void WINAPI ServiceCtrlHandler(DWORD control);

  void Start(DWORD argc, LPWSTR* argv);
  void Stop();
  void Pause();
  void Continue();
  void Shutdown();
  DWORD CurrentState();
  // pending, the operation, done; a failed operation goes back to fallback.
  void ChangeState(DWORD pending, void (CServiceBaseAA::*operation)(), DWORD done, PCWSTR function,
                   PCWSTR failure, DWORD fallback);

  static CServiceBaseAA* s_service;

  PCWSTR m_name;
  // Written from the service's thread and from the dispatcher's: always under m_statusMutex.
  std::mutex m_statusMutex;
  SERVICE_STATUS m_status;
  SERVICE_STATUS_HANDLE m_statusHandle = nullptr;
  REGHANDLE m_eventProvider = 0;
};
