#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Services.h"

// One service per process: there is one status handle.
struct SERVICE_STATUS_HANDLE__ {};

namespace {

using win32::ServiceRecord;

// After the service has stopped, its main thread gets this long to return before the process
// goes on to end.
constexpr auto kServiceMainGrace = std::chrono::milliseconds(5000);

SERVICE_STATUS_HANDLE__ g_statusHandle;
std::atomic<LPHANDLER_FUNCTION> g_handler{nullptr};
std::atomic<bool> g_dispatching{false};
std::atomic<bool> g_stopped{false};
// Written by SetServiceStatus when the service stops, so the dispatcher wakes from its wait.
std::atomic<int> g_wakeWrite{-1};

struct ServiceMainEnd {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool IsValidState(DWORD state) { return state >= SERVICE_STOPPED && state <= SERVICE_PAUSED; }

// Claims the record for this process and publishes the control socket.
DWORD Publish(const std::wstring& name, const std::string& address) {
  win32::ServiceDatabaseLock lock;
  DWORD error = ERROR_SUCCESS;
  if (!lock.Held(&error)) return error;
  ServiceRecord record;
  if (!win32::LoadService(name, &record) || record.pid != static_cast<DWORD>(getpid()))
    return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
  record.controlAddress = address;
  record.dispatcherStarted = true;
  return win32::SaveService(record);
}

std::vector<std::wstring> StartArguments(const std::wstring& name) {
  win32::ServiceDatabaseLock lock;
  DWORD error = ERROR_SUCCESS;
  ServiceRecord record;
  std::vector<std::wstring> arguments{name};
  if (lock.Held(&error) && win32::LoadService(name, &record))
    arguments.insert(arguments.end(), record.arguments.begin(), record.arguments.end());
  return arguments;
}

void Withdraw(const std::wstring& name) {
  win32::ServiceDatabaseLock lock;
  DWORD error = ERROR_SUCCESS;
  ServiceRecord record;
  if (!lock.Held(&error) || !win32::LoadService(name, &record) ||
      record.pid != static_cast<DWORD>(getpid()))
    return;
  record.controlAddress.clear();
  win32::SaveService(record);
}

void ServeControls(int listener, int wakeRead) {
  while (!g_stopped.load()) {
    pollfd entries[2] = {{listener, POLLIN, 0}, {wakeRead, POLLIN, 0}};
    if (poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (entries[1].revents != 0) continue;
    DWORD control = 0;
    int controller = win32::ReceiveServiceControl(listener, &control);
    if (controller < 0) continue;
    if (LPHANDLER_FUNCTION handler = g_handler.load()) handler(control);
    win32::AcknowledgeServiceControl(controller);
  }
}

}  // namespace

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* serviceTable) {
  if (serviceTable == nullptr || serviceTable[0].lpServiceProc == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  const std::wstring* name = win32::OwnServiceName();
  if (name == nullptr) return Fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  if (g_dispatching.exchange(true)) return Fail(ERROR_SERVICE_ALREADY_RUNNING);

  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  DWORD error = ERROR_SUCCESS;
  std::string address;
  int listener = win32::ListenForServiceControls(&address, &error);
  if (listener >= 0) error = Publish(*name, address);
  if (error != ERROR_SUCCESS) {
    if (listener >= 0) close(listener);
    close(wake[0]);
    close(wake[1]);
    return Fail(error);
  }
  g_wakeWrite.store(wake[1]);

  // ServiceMain's arguments live as long as the process, as the manager's do on Windows.
  static std::vector<std::wstring> arguments;
  static std::vector<LPWSTR> argv;
  arguments = StartArguments(*name);
  for (std::wstring& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  auto end = std::make_shared<ServiceMainEnd>();
  LPSERVICE_MAIN_FUNCTIONW serviceMain = serviceTable[0].lpServiceProc;
  std::thread([serviceMain, end] {
    serviceMain(static_cast<DWORD>(arguments.size()), argv.data());
    std::lock_guard<std::mutex> lock(end->mutex);
    end->done = true;
    end->ended.notify_all();
  }).detach();

  ServeControls(listener, wake[0]);

  Withdraw(*name);
  close(listener);
  {
    std::unique_lock<std::mutex> lock(end->mutex);
    end->ended.wait_for(lock, kServiceMainGrace, [&] { return end->done; });
  }
  return TRUE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR, LPHANDLER_FUNCTION handler) {
  // An own-process service has one entry: the name is not checked, as on Windows.
  if (!g_dispatching.load()) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if (handler == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  g_handler.store(handler);
  return &g_statusHandle;
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE statusHandle, LPSERVICE_STATUS status) {
  if (statusHandle != &g_statusHandle) return Fail(ERROR_INVALID_HANDLE);
  if (status == nullptr || !IsValidState(status->dwCurrentState)) return Fail(ERROR_INVALID_DATA);
  const std::wstring* name = win32::OwnServiceName();
  {
    win32::ServiceDatabaseLock lock;
    DWORD error = ERROR_SUCCESS;
    if (!lock.Held(&error)) return Fail(error);
    ServiceRecord record;
    if (win32::LoadService(*name, &record) && record.pid == static_cast<DWORD>(getpid())) {
      record.status = *status;
      error = win32::SaveService(record);
      if (error != ERROR_SUCCESS) return Fail(error);
      win32::AppendStatusHistory(*name, *status);
    }
  }
  if (status->dwCurrentState == SERVICE_STOPPED) {
    g_stopped.store(true);
    char wake = 1;
    int fd = g_wakeWrite.load();
    if (fd >= 0) [[maybe_unused]] ssize_t written = write(fd, &wake, 1);
  }
  return TRUE;
}
