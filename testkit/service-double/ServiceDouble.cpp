// A service program whose behaviour its registered command line sets:
//   --start-pending-ms=N   stays start-pending that long before it runs
//   --stop-pending-ms=N    stays stop-pending that long after a stop control
//   --accept=N             the controls it accepts (default stop and shutdown)
//   --die-after-ms=N       ends abruptly, without a report, that long after it runs
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/win32/Win32.h"

namespace {

long g_startPendingMs = 0;
long g_stopPendingMs = 0;
long g_dieAfterMs = -1;
DWORD g_accepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;

std::mutex g_mutex;
SERVICE_STATUS_HANDLE g_handle = nullptr;
DWORD g_checkPoint = 1;
DWORD g_state = SERVICE_START_PENDING;

void Report(DWORD state) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_state = state;
  bool pending = state != SERVICE_RUNNING && state != SERVICE_STOPPED && state != SERVICE_PAUSED;
  SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, state, pending ? 0 : g_accepted, 0, 0,
                        pending ? g_checkPoint++ : 0, pending ? 3000u : 0u};
  SetServiceStatus(g_handle, &status);
}

void SleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void WINAPI Handler(DWORD control) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    std::thread([] {
      SleepMs(g_stopPendingMs);
      Report(SERVICE_STOPPED);
    }).detach();
  } else if (control == SERVICE_CONTROL_PAUSE) {
    Report(SERVICE_PAUSED);
  } else if (control == SERVICE_CONTROL_CONTINUE) {
    Report(SERVICE_RUNNING);
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_handle = RegisterServiceCtrlHandlerW(L"ServiceDouble", Handler);
  Report(SERVICE_START_PENDING);
  SleepMs(g_startPendingMs);
  Report(SERVICE_RUNNING);
  if (g_dieAfterMs >= 0) {
    SleepMs(g_dieAfterMs);
    std::_Exit(3);
  }
}

long Value(const std::string& argument, const std::string& name) {
  return std::strtol(argument.substr(name.size()).c_str(), nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind("--start-pending-ms=", 0) == 0) g_startPendingMs = Value(argument, "--start-pending-ms=");
    if (argument.rfind("--stop-pending-ms=", 0) == 0) g_stopPendingMs = Value(argument, "--stop-pending-ms=");
    if (argument.rfind("--die-after-ms=", 0) == 0) g_dieAfterMs = Value(argument, "--die-after-ms=");
    if (argument.rfind("--accept=", 0) == 0) g_accepted = static_cast<DWORD>(Value(argument, "--accept="));
  }
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"ServiceDouble"), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
