#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Services.h"
#include "platform/win32/internal/Spawn.h"

struct SC_HANDLE__ {
  bool isManager;
  DWORD access;
  std::wstring serviceName;
};

namespace {

using win32::ServiceRecord;

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kControlTimeoutMs = 30000;
constexpr DWORD kServicesSession = 0;

// What a caller without administrator rights may ask for.
constexpr DWORD kManagerUserAccess =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kServiceUserAccess = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                     SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
                                     SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

std::mutex g_handlesMutex;
std::set<SC_HANDLE__*> g_handles;

SC_HANDLE NewHandle(bool isManager, DWORD access, const std::wstring& serviceName) {
  auto* handle = new SC_HANDLE__{isManager, access, serviceName};
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  g_handles.insert(handle);
  return handle;
}

// The handle when it is an open one of the kind asked for; else null with ERROR_INVALID_HANDLE.
SC_HANDLE__* Checked(SC_HANDLE handle, bool isManager) {
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  if (g_handles.count(handle) == 0 || handle->isManager != isManager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return handle;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

SC_HANDLE FailHandle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

bool Allowed(DWORD access, DWORD userAccess) {
  return (access & ~userAccess) == 0 || win32::CallerIsAdministrator();
}

bool HasText(LPCWSTR text) { return text != nullptr && *text != L'\0'; }

bool OneLine(LPCWSTR text) {
  return text == nullptr || std::wstring(text).find_first_of(L"\r\n") == std::wstring::npos;
}

// Opens the service's record under the database lock; *error says why not.
bool LockedLoad(const win32::ServiceDatabaseLock& lock, const std::wstring& name,
                ServiceRecord* record, DWORD* error) {
  if (!lock.Held(error)) return false;
  if (win32::LoadService(name, record)) return true;
  *error = ERROR_SERVICE_DOES_NOT_EXIST;
  return false;
}

bool CurrentRecord(const std::wstring& name, ServiceRecord* record, DWORD* error) {
  win32::ServiceDatabaseLock lock;
  return LockedLoad(lock, name, record, error);
}

DWORD AccessForControl(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP: return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE: return SERVICE_INTERROGATE;
    default: return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
  }
}

bool Accepts(const SERVICE_STATUS& status, DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP: return (status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      return (status.dwControlsAccepted & SERVICE_ACCEPT_PAUSE_CONTINUE) != 0;
    default: return true;
  }
}

// Starts the service's process under the database lock, so that its dispatcher finds the
// record complete.
DWORD LaunchService(const std::wstring& name, DWORD argumentCount, LPCWSTR* arguments) {
  win32::ServiceDatabaseLock lock;
  ServiceRecord record;
  DWORD error = ERROR_SUCCESS;
  if (!LockedLoad(lock, name, &record, &error)) return error;
  if (record.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
  if (record.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
  if (record.status.dwCurrentState != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;

  record.arguments.clear();
  for (DWORD i = 0; i < argumentCount; ++i) {
    if (arguments[i] == nullptr || !OneLine(arguments[i])) return ERROR_INVALID_PARAMETER;
    record.arguments.emplace_back(arguments[i]);
  }
  win32::SpawnRequest request;
  request.commandLine = record.binaryPath;
  request.sessionId = kServicesSession;
  request.environment = {{win32::kServiceProcessVariable, win32::WideToUtf8(record.name)},
                         {win32::kNotAdministratorVariable, "0"},
                         {"TARVIK_SESSION_ID", std::to_string(kServicesSession)}};
  std::shared_ptr<win32::ChildProcess> child = win32::SpawnProcess(request, &error);
  if (!child) return error;

  record.pid = child->Pid();
  record.lastPid = record.pid;
  record.pidStartTime = win32::ProcessStartTime(record.pid);
  record.dispatcherStarted = false;
  record.controlAddress.clear();
  record.status = SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 2000};
  return win32::SaveService(record);
}

}  // namespace

SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) {
  if (HasText(machineName)) return FailHandle(RPC_S_SERVER_UNAVAILABLE);
  if (HasText(databaseName) && std::wstring(databaseName) != L"ServicesActive")
    return FailHandle(ERROR_DATABASE_DOES_NOT_EXIST);
  if (!Allowed(desiredAccess, kManagerUserAccess)) return FailHandle(ERROR_ACCESS_DENIED);
  return NewHandle(true, desiredAccess, L"");
}

SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName,
                         DWORD desiredAccess, DWORD serviceType, DWORD startType,
                         DWORD errorControl, LPCWSTR binaryPathName, LPCWSTR, LPDWORD tagId,
                         LPCWSTR, LPCWSTR serviceStartName, LPCWSTR) {
  SC_HANDLE__* scm = Checked(manager, true);
  if (scm == nullptr) return nullptr;
  if ((scm->access & SC_MANAGER_CREATE_SERVICE) == 0) return FailHandle(ERROR_ACCESS_DENIED);
  if (serviceName == nullptr || win32::CheckServiceName(serviceName) != ERROR_SUCCESS)
    return FailHandle(ERROR_INVALID_NAME);
  if (serviceType != SERVICE_WIN32_OWN_PROCESS || startType > SERVICE_DISABLED ||
      errorControl > SERVICE_ERROR_CRITICAL || !HasText(binaryPathName) || tagId != nullptr ||
      !OneLine(displayName) || !OneLine(binaryPathName) || !OneLine(serviceStartName))
    return FailHandle(ERROR_INVALID_PARAMETER);

  win32::ServiceDatabaseLock lock;
  DWORD error = ERROR_SUCCESS;
  if (!lock.Held(&error)) return FailHandle(error);
  ServiceRecord record;
  if (win32::LoadService(serviceName, &record))
    return FailHandle(record.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
  record = ServiceRecord{};
  record.name = serviceName;
  record.displayName = HasText(displayName) ? displayName : serviceName;
  record.binaryPath = binaryPathName;
  record.account = serviceStartName ? serviceStartName : L"LocalSystem";
  record.startType = startType;
  record.errorControl = errorControl;
  record.status.dwWin32ExitCode = ERROR_SERVICE_NEVER_STARTED;
  error = win32::SaveService(record);
  if (error != ERROR_SUCCESS) return FailHandle(error);
  return NewHandle(false, desiredAccess, record.name);
}

SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) {
  SC_HANDLE__* scm = Checked(manager, true);
  if (scm == nullptr) return nullptr;
  if ((scm->access & SC_MANAGER_CONNECT) == 0) return FailHandle(ERROR_ACCESS_DENIED);
  if (serviceName == nullptr || win32::CheckServiceName(serviceName) != ERROR_SUCCESS)
    return FailHandle(ERROR_INVALID_NAME);
  ServiceRecord record;
  DWORD error = ERROR_SUCCESS;
  if (!CurrentRecord(serviceName, &record, &error)) return FailHandle(error);
  if (!Allowed(desiredAccess, kServiceUserAccess)) return FailHandle(ERROR_ACCESS_DENIED);
  return NewHandle(false, desiredAccess, record.name);
}

BOOL StartServiceW(SC_HANDLE service, DWORD argumentCount, LPCWSTR* arguments) {
  SC_HANDLE__* handle = Checked(service, false);
  if (handle == nullptr) return FALSE;
  if ((handle->access & SERVICE_START) == 0) return Fail(ERROR_ACCESS_DENIED);
  if (argumentCount > 0 && arguments == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD error = LaunchService(handle->serviceName, argumentCount, arguments);
  if (error != ERROR_SUCCESS) return Fail(error);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    ServiceRecord record;
    if (!CurrentRecord(handle->serviceName, &record, &error)) return Fail(error);
    if (record.dispatcherStarted) return TRUE;
    if (record.status.dwCurrentState == SERVICE_STOPPED) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  SC_HANDLE__* handle = Checked(service, false);
  if (handle == nullptr) return FALSE;
  if (status == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  DWORD needed = AccessForControl(control);
  if (needed == 0) return Fail(ERROR_INVALID_PARAMETER);
  if ((handle->access & needed) == 0) return Fail(ERROR_ACCESS_DENIED);

  ServiceRecord record;
  DWORD error = ERROR_SUCCESS;
  if (!CurrentRecord(handle->serviceName, &record, &error)) return Fail(error);
  *status = record.status;
  DWORD state = record.status.dwCurrentState;
  if (state == SERVICE_STOPPED) return Fail(ERROR_SERVICE_NOT_ACTIVE);
  if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
      record.controlAddress.empty())
    return Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  if (!Accepts(record.status, control)) return Fail(ERROR_INVALID_SERVICE_CONTROL);

  error = win32::SendServiceControl(record.controlAddress, control, kControlTimeoutMs);
  if (error != ERROR_SUCCESS) return Fail(error);
  if (CurrentRecord(handle->serviceName, &record, &error)) *status = record.status;
  return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  SC_HANDLE__* handle = Checked(service, false);
  if (handle == nullptr) return FALSE;
  if (status == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if ((handle->access & SERVICE_QUERY_STATUS) == 0) return Fail(ERROR_ACCESS_DENIED);
  ServiceRecord record;
  DWORD error = ERROR_SUCCESS;
  if (!CurrentRecord(handle->serviceName, &record, &error)) return Fail(error);
  *status = record.status;
  return TRUE;
}

BOOL DeleteService(SC_HANDLE service) {
  SC_HANDLE__* handle = Checked(service, false);
  if (handle == nullptr) return FALSE;
  if ((handle->access & DELETE) == 0) return Fail(ERROR_ACCESS_DENIED);
  win32::ServiceDatabaseLock lock;
  ServiceRecord record;
  DWORD error = ERROR_SUCCESS;
  if (!LockedLoad(lock, handle->serviceName, &record, &error)) return Fail(error);
  if (record.markedForDelete) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  if (record.status.dwCurrentState == SERVICE_STOPPED) {
    win32::RemoveService(record.name);
    return TRUE;
  }
  record.markedForDelete = true;
  error = win32::SaveService(record);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    if (g_handles.erase(handle) == 0) return Fail(ERROR_INVALID_HANDLE);
  }
  delete handle;
  return TRUE;
}

namespace win32 {

void NotifyServicesOfShutdown() {
  for (const std::wstring& name : ListServices()) {
    ServiceRecord record;
    DWORD error = ERROR_SUCCESS;
    if (!CurrentRecord(name, &record, &error) || record.controlAddress.empty() ||
        (record.status.dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN) == 0)
      continue;
    SendServiceControl(record.controlAddress, SERVICE_CONTROL_SHUTDOWN, kControlTimeoutMs);
  }
}

}  // namespace win32
