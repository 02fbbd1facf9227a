// The agent's Windows service. Its start hands the real start-up (monitor-control library,
// server connection, worker threads) to a worker thread, so that the service manager sees the
// service running at once.
#pragma once

#include "agent-windows/service/ServiceBase.h"

inline constexpr const wchar_t* kAgentServiceName = L"HalvanePexonService";
inline constexpr const wchar_t* kAgentServiceDisplayName = L"Quelmo Halvane Pexon Service";

class HalvanePexonClientServiceAA : public CServiceBaseAA {
 public:
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
  // Runs for the life of the process.
  static void ServiceWorkerThread();
};
