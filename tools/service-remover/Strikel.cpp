// Stops the service "TarvikService" when it runs, waits until it has stopped, and deletes it.
// Every outcome is one console line; the exit code is always 0, so that no setup step fails
// on this tool's account.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "platform/win32/Win32.h"

namespace {

const wchar_t* const kServiceName = L"TarvikService";
constexpr auto kPollInterval = std::chrono::milliseconds(1000);
// A service that has not stopped after this many polls (one that hangs in a pending state)
// is given up on.
constexpr int kMaxPolls = 60;

int LastError() { return static_cast<int>(GetLastError()); }

bool CanTakeStop(DWORD state) { return state == SERVICE_RUNNING || state == SERVICE_PAUSED; }

bool RequestStop(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (ControlService(service, SERVICE_CONTROL_STOP, &status)) return true;
  std::cerr << "ControlService failed (" << LastError() << ")" << std::endl;
  return false;
}

// Polls until the service has stopped. A service found pending gets its stop request once it
// runs, so that it is not waited for in vain.
bool WaitUntilStopped(SC_HANDLE service, bool stopRequested) {
  for (int poll = 0; poll < kMaxPolls; ++poll) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return true;
    if (status.dwCurrentState == SERVICE_STOPPED) {
      std::cout << "Service stopped successfully." << std::endl;
      return true;
    }
    if (!stopRequested && CanTakeStop(status.dwCurrentState)) {
      if (!RequestStop(service)) return false;
      stopRequested = true;
      continue;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  std::cerr << "Service did not stop in time." << std::endl;
  return false;
}

bool StopAgentService() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    std::cerr << "OpenSCManager failed (" << LastError() << ")" << std::endl;
    return false;
  }
  SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (service == nullptr) {
    std::cerr << "OpenService failed (" << LastError()
              << "). Service may not be installed or you don't have permission to stop it."
              << std::endl;
    CloseServiceHandle(manager);
    return false;
  }
  bool stopped = false;
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) {
    std::cerr << "QueryServiceStatus failed (" << LastError() << ")" << std::endl;
  } else if (status.dwCurrentState == SERVICE_STOPPED) {
    std::cout << "Service is already stopped." << std::endl;
    stopped = true;
  } else if (status.dwCurrentState == SERVICE_RUNNING) {
    stopped = RequestStop(service) && WaitUntilStopped(service, true);
  } else {
    stopped = WaitUntilStopped(service, false);
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return stopped;
}

void DeleteAgentService() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) {
    std::printf("OpenSCManager failed (%d)\n", LastError());
    return;
  }
  SC_HANDLE service = OpenServiceW(manager, kServiceName, DELETE);
  if (service == nullptr) {
    std::printf("OpenService failed (%d)\n", LastError());
  } else {
    if (DeleteService(service))
      std::printf("Service deleted successfully\n");
    else
      std::printf("DeleteService failed (%d)\n", LastError());
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

}  // namespace

int main() {
  // The deletion is tried whatever the stop phase achieved.
  StopAgentService();
  DeleteAgentService();
  std::fflush(stdout);
  return 0;
}
