#include "agent-windows/AgentMain.h"

#include "agent-windows/AgentLog.h"
#include "agent-windows/CommandLine.h"
#include "agent-windows/GlobalMutex.h"
#include "agent-windows/InteractiveUser.h"
#include "agent-windows/ModuleUninstaller.h"
#include "agent-windows/ServerSettings.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/service/AgentService.h"
#include "agent-windows/service/ServiceInstaller.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"

namespace {

constexpr int kUserFolderTries = 3;
// Open for the life of the process, so the name exists for every user of the library.
HANDLE g_globalMutex = nullptr;

constexpr std::uint32_t kUserFolderRetryMs = 1000;

// Only logged: the console user's folder tells who is at the machine.
void LogInteractiveUserFolder() {
  std::wstring path;
  for (int attempt = 1; attempt <= kUserFolderTries; ++attempt) {
    if (GetInteractiveUserAppDataPath(path)) break;
    LogError(L"GetInteractiveUserAppDataPath failed!");
    if (attempt < kUserFolderTries) tarvik::SleepMs(kUserFolderRetryMs);
  }
  LogError(L"%s", path.c_str());
}

int RunService() {
  {
    HalvanePexonClientServiceAA service(kAgentServiceName, TRUE, TRUE, FALSE);
    if (!CServiceBaseAA::Run(service)) {
      LogError(L"Service failed to run w/err 0x%08lx\n", GetLastError());
      return 1;
    }
  }
  // The agent's threads still run: end as Windows ends a stopped service's process, with every
  // thread in it, and without destroying static objects under them.
  FlushLogs();
  ExitProcess(0);
}

}  // namespace

int RunAgent(const std::wstring& commandLine) {
  if (g_globalMutex == nullptr) g_globalMutex = CreateGlobalMutex(kGlobalMutexName);
  LogInteractiveUserFolder();

  std::wstring settingsFile = FindSettingsFile();
  ServerSettings settings = ReadServerSettings(settingsFile);
  if (settings.log == "On") InitLog();
  WebSocketMgr::GetInstance()->SetNetworkInfo(settings.server, settings.port, settings.protocol,
                                              settings.folder);
  if (settings.server.empty()) {
    LogError(L"IP address is empty.");
    return 1;
  }
  LogWarn(L"Host:%S,Port:%S,Protocol:%S,Folder:%S,IniFile:%s", settings.server.c_str(),
          settings.port.c_str(), settings.protocol.c_str(), settings.folder.c_str(),
          settingsFile.c_str());
  LogInfo(L"V1.0.0.5");

  switch (ParseAgentMode(commandLine)) {
    case AgentMode::kService:
      return RunService();
    case AgentMode::kInstall:
      InstallService(kAgentServiceName, kAgentServiceDisplayName, SERVICE_AUTO_START, L"", nullptr,
                     nullptr);
      return 0;
    case AgentMode::kRemove:
      UninstallService(kAgentServiceName);
      RunModuleUninstaller();
      return 0;
    case AgentMode::kNone:
      return 0;
  }
  return 0;
}
