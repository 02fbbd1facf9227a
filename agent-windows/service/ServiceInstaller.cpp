#include "agent-windows/service/ServiceInstaller.h"

#include <string>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"

namespace {

constexpr std::uint32_t kStopPollMs = 1000;
// A service that has not stopped after this many polls is taken as failed to stop.
constexpr int kMaxStopPolls = 30;

}  // namespace

void InstallService(PCWSTR serviceName, PCWSTR displayName, DWORD startType, PCWSTR dependencies,
                    PCWSTR account, PCWSTR password) {
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(GetCurrentProcess(), 0, path, &size)) {
    LogError(L"GetModuleFileName failed w/err 0x%08lx\n", GetLastError());
    return;
  }
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr) {
    LogError(L"OpenSCManager failed w/err 0x%08lx\n", GetLastError());
    return;
  }
  // Quoted, so that a folder with blanks still names this executable; no switch: service mode.
  std::wstring binaryPath = std::wstring(L"\"") + path + L"\"";
  SC_HANDLE service = CreateServiceW(manager, serviceName, displayName,
                                     SERVICE_QUERY_STATUS | SERVICE_START, SERVICE_WIN32_OWN_PROCESS,
                                     startType, SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr,
                                     nullptr, dependencies, account, password);
  if (service == nullptr) {
    LogError(L"CreateService failed w/err 0x%08lx\n", GetLastError());
    CloseServiceHandle(manager);
    return;
  }
  LogError(L"%s is installed.\n", serviceName);
  if (StartServiceW(service, 0, nullptr))
    LogError(L"%s is started.\n", serviceName);
  else
    LogError(L"StartService failed w/err 0x%08lx\n", GetLastError());
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

void UninstallService(PCWSTR serviceName) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    LogError(L"OpenSCManager failed w/err 0x%08lx\n", GetLastError());
    return;
  }
  SC_HANDLE service = OpenServiceW(manager, serviceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  if (service == nullptr) {
    LogError(L"OpenService failed w/err 0x%08lx\n", GetLastError());
    CloseServiceHandle(manager);
    return;
  }
  SERVICE_STATUS status{};
  if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    LogError(L"Stopping %s.", serviceName);
    tarvik::SleepMs(kStopPollMs);
    for (int polls = 0; polls < kMaxStopPolls && QueryServiceStatus(service, &status) &&
                        status.dwCurrentState == SERVICE_STOP_PENDING;
         ++polls) {
      LogError(L".");
      tarvik::SleepMs(kStopPollMs);
    }
    if (status.dwCurrentState == SERVICE_STOPPED)
      LogError(L"\n%s is stopped.\n", serviceName);
    else
      LogError(L"\n%s failed to stop.\n", serviceName);
  }
  if (DeleteService(service))
    LogError(L"%s is removed.\n", serviceName);
  else
    LogError(L"DeleteService failed w/err 0x%08lx\n", GetLastError());
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}
