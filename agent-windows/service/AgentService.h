// The agent's Windows service. Its start connects the system events to the agent and hands the
// real start-up (monitor-control library, installer pipe, server connection, worker threads)
// to a thread-pool worker, so that the service manager sees the service running at once.
#pragma once

#include "agent-windows/service/ServiceBase.h"

inline constexpr const wchar_t* kAgentServiceName = L"HalvanePexonService";
inline constexpr const wchar_t* kAgentServiceDisplayName = L"Quelmo Halvane Pexon Service";

class HalvanePexonClientServiceAA : public CServiceBaseAA {
 public:
  // Installs the crash-dump writer for the whole process.
  HalvanePexonClientServiceAA(LPCWSTR serviceName, BOOL canStop = TRUE, BOOL canShutdown = TRUE,
                              BOOL canPauseContinue = FALSE);
  // Stops the installer pipe server.
  ~HalvanePexonClientServiceAA() override;

 protected:
  void OnStart(DWORD argc, LPWSTR* argv) override;
  void OnStop() override;
  void OnPause() override;
  void OnContinue() override;

 private:
  static void OnSessionConnect(void* context, WPARAM first, LPARAM second);
  static void OnSessionDisconnect(void* context, WPARAM first, LPARAM second);
  static void OnScreenLock(void* context, WPARAM first, LPARAM second);
  static void OnScreenUnLock(void* context, WPARAM first, LPARAM second);
  static void OnSysSuspend(void* context, WPARAM first, LPARAM second);
  static void OnSysResum(void* context, WPARAM first, LPARAM second);
  static void OnDisplayChangeAA(void* context, WPARAM first, LPARAM second);

  // Runs for the life of the process and keeps its pool thread.
  static VOID CALLBACK ServiceWorkerThread(PTP_CALLBACK_INSTANCE instance, PVOID context, PTP_WORK work);

  // Both end with the process.
  HDEVNOTIFY m_deviceNotification = nullptr;
  PTP_WORK m_work = nullptr;
};
