// The service manager's insides: its database on C:, the identity of service processes and
// the control channel between a controller and a service's dispatcher.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/api/Service.h"
#include "platform/win32/api/Types.h"

namespace win32 {

// One installed service as the database keeps it.
struct ServiceRecord {
  std::wstring name;
  std::wstring displayName;
  std::wstring binaryPath;
  std::wstring account;
  DWORD startType = SERVICE_DEMAND_START;
  DWORD errorControl = SERVICE_ERROR_NORMAL;
  bool markedForDelete = false;
  SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0};
  // The process running the service (0: none) and its start time, against reused ids.
  DWORD pid = 0;
  unsigned long long pidStartTime = 0;
  // The process of the latest start, kept after it has ended.
  DWORD lastPid = 0;
  // The dispatcher's control socket; empty while it does not listen.
  std::string controlAddress;
  // The process of the latest start has started its dispatcher.
  bool dispatcherStarted = false;
  // What StartServiceW passed on to ServiceMain after the service name.
  std::vector<std::wstring> arguments;
};

// Holds the database lock (across processes) while alive. Every read and write of the
// database happens under one.
class ServiceDatabaseLock {
 public:
  ServiceDatabaseLock();
  ~ServiceDatabaseLock();
  ServiceDatabaseLock(const ServiceDatabaseLock&) = delete;
  ServiceDatabaseLock& operator=(const ServiceDatabaseLock&) = delete;
  // False when the database folder cannot be made or locked; *error then says why.
  bool Held(DWORD* error) const;

 private:
  int m_fd = -1;
  DWORD m_error = ERROR_SUCCESS;
};

// Native path of the database folder on C:.
std::string ServiceDatabaseFolder();
// ERROR_INVALID_NAME for a name the database cannot hold.
DWORD CheckServiceName(const std::wstring& name);
// False when there is no such service. A record whose process has died reads as stopped
// (exit code ERROR_PROCESS_ABORTED when it never said so), and a stopped record marked for
// deletion is removed and reads as missing.
bool LoadService(const std::wstring& name, ServiceRecord* record);
DWORD SaveService(const ServiceRecord& record);
void RemoveService(const std::wstring& name);
std::vector<std::wstring> ListServices();
// Every status report a service of the name has made, oldest first; kept when it is deleted.
void AppendStatusHistory(const std::wstring& name, const SERVICE_STATUS& status);
std::vector<SERVICE_STATUS> ReadStatusHistory(const std::wstring& name);
// Native path of the file that the service process's standard output and error go to.
std::string ServiceOutputPath(const std::wstring& name);
// Native path of the file that holds the exit code a service process ended with through
// ExitProcess (the manager sees no more than a process that has gone).
std::string ServiceExitCodePath(const std::wstring& name);

// A running process's start time, 0 when it is not running (a zombie does not run).
unsigned long long ProcessStartTime(DWORD pid);

// The caller has administrator rights (see api/Service.h).
bool CallerIsAdministrator();
// In a process that StartServiceW started: the name of its service; else null.
const std::wstring* OwnServiceName();
// The variables through which StartServiceW marks a service process.
inline constexpr const char* kServiceProcessVariable = "TARVIK_WIN32_SERVICE";
inline constexpr const char* kNotAdministratorVariable = "TARVIK_WIN32_NOT_ADMIN";

// The control channel. A dispatcher listens (the socket, or -1 with *error set), takes one
// control at a time and acknowledges it once its handler has run; a controller sends one and
// waits for that acknowledgement.
int ListenForServiceControls(std::string* address, DWORD* error);
// A connected controller (closed by AcknowledgeServiceControl), or -1 when none sent a control.
int ReceiveServiceControl(int listener, DWORD* control);
void AcknowledgeServiceControl(int controller);
DWORD SendServiceControl(const std::string& address, DWORD control, DWORD timeoutMs);

// The machine shutting down: every running service that accepts it gets SERVICE_CONTROL_SHUTDOWN
// (ControlService may not send it).
void NotifyServicesOfShutdown();

}  // namespace win32
