#include "testkit/services/ServiceMachine.h"

#include <csignal>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Services.h"

namespace testkit {
namespace {

bool Load(const std::wstring& name, win32::ServiceRecord* record) {
  win32::ServiceDatabaseLock lock;
  DWORD error = 0;
  return lock.Held(&error) && win32::LoadService(name, record);
}

}  // namespace

ServiceMachine::~ServiceMachine() { KillServiceProcesses(); }

bool ServiceMachine::Install(const std::wstring& name, const std::wstring& binaryPath) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  SC_HANDLE service = CreateServiceW(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                     SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

bool ServiceMachine::Start(const std::wstring& name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_START);
  bool started = service != nullptr && StartServiceW(service, 0, nullptr);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return started;
}

DWORD ServiceMachine::State(const std::wstring& name) const {
  win32::ServiceRecord record;
  if (!Load(name, &record)) return SERVICE_STOPPED;
  if (record.lastPid != 0) m_lastPids[name] = record.lastPid;
  return record.status.dwCurrentState;
}

bool ServiceMachine::WaitForExit(const std::wstring& name, std::chrono::milliseconds limit) const {
  State(name);
  auto found = m_lastPids.find(name);
  if (found == m_lastPids.end()) return false;
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (win32::ProcessStartTime(found->second) != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool ServiceMachine::Installed(const std::wstring& name) const {
  win32::ServiceRecord record;
  return Load(name, &record);
}

bool ServiceMachine::WaitForState(const std::wstring& name, DWORD state,
                                  std::chrono::milliseconds limit) const {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (State(name) != state) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<SERVICE_STATUS> ServiceMachine::History(const std::wstring& name) const {
  return win32::ReadStatusHistory(name);
}

std::string ServiceMachine::Output(const std::wstring& name) const {
  std::ifstream file(win32::ServiceOutputPath(name));
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

long long ServiceMachine::ExitCode(const std::wstring& name) const {
  std::ifstream file(win32::ServiceExitCodePath(name));
  long long code = -1;
  file >> code;
  return code;
}

void ServiceMachine::KillServiceProcesses() {
  for (const std::wstring& name : win32::ListServices()) {
    win32::ServiceRecord record;
    if (Load(name, &record) && record.pid != 0 &&
        win32::ProcessStartTime(record.pid) == record.pidStartTime)
      kill(static_cast<pid_t>(record.pid), SIGKILL);
  }
}

std::wstring WindowsPath(const std::string& nativePath) { return win32::NativeToWindowsPath(nativePath); }

}  // namespace testkit
