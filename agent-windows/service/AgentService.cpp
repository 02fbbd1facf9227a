#include "agent-windows/service/AgentService.h"

#include "foundation/log/Log.h"

HalvanePexonClientServiceAA::HalvanePexonClientServiceAA(LPCWSTR serviceName, BOOL canStop,
                                                         BOOL canShutdown, BOOL canPauseContinue)
    : CServiceBaseAA(serviceName, canStop, canShutdown, canPauseContinue) {}

void HalvanePexonClientServiceAA::OnStart(DWORD, LPWSTR*) {
  LogInfo(L"HalvanePexonClientServiceAA OnStart!!!!!");
}

void HalvanePexonClientServiceAA::OnStop() { LogInfo(L"LumbraBackGroundService OnStop"); }

void HalvanePexonClientServiceAA::OnPause() { LogInfo(L"LumbraBackGroundService OnPause"); }

void HalvanePexonClientServiceAA::OnContinue() { LogInfo(L"LumbraBackGroundService OnContinue"); }
