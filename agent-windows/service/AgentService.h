// The agent's Windows service. Its start and stop only report; the agent's own work (system
// events, monitor registry, server connection) is not attached yet.
#pragma once

#include "agent-windows/service/ServiceBase.h"

inline constexpr const wchar_t* kAgentServiceName = L"HalvanePexonService";
inline constexpr const wchar_t* kAgentServiceDisplayName = L"Quelmo Halvane Pexon Service";

class HalvanePexonClientServiceAA : public CServiceBaseAA {
 public:
  HalvanePexonClientServiceAA(LPCWSTR serviceName, BOOL canStop = TRUE, BOOL canShutdown = TRUE,
                              BOOL canPauseContinue = FALSE);

 protected:
  void OnStart(DWORD argc, LPWSTR* argv) override;
  void OnStop() override;
  void OnPause() override;
  void OnContinue() override;
};
