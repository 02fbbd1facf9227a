// A machine for tests that install and run services: a fresh drive C: (so a fresh service
// database) while alive; every service process still running at the end is killed.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/Win32.h"
#include "testkit/cdrive/TempCDrive.h"

namespace testkit {

class ServiceMachine {
 public:
  ServiceMachine() = default;
  ~ServiceMachine();
  ServiceMachine(const ServiceMachine&) = delete;
  ServiceMachine& operator=(const ServiceMachine&) = delete;

  const TempCDrive& Drive() const { return m_drive; }

  // Registers a service (as an administrator would) with that binary path; true on success.
  bool Install(const std::wstring& name, const std::wstring& binaryPath);
  bool Start(const std::wstring& name);
  // SERVICE_STOPPED when the service is not installed.
  DWORD State(const std::wstring& name) const;
  bool Installed(const std::wstring& name) const;
  // Polls until the state is reached or the time is up.
  bool WaitForState(const std::wstring& name, DWORD state,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
  // Waits until the process that last ran the service (as State saw it) has ended.
  bool WaitForExit(const std::wstring& name,
                   std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
  // Every status report of the service as the manager recorded it.
  std::vector<SERVICE_STATUS> History(const std::wstring& name) const;
  // What the service process wrote to its standard output and error.
  std::string Output(const std::wstring& name) const;
  // The exit code the service's process ended with through ExitProcess; -1 when it did not.
  long long ExitCode(const std::wstring& name) const;

 private:
  void KillServiceProcesses();

  TempCDrive m_drive;
  mutable std::map<std::wstring, DWORD> m_lastPids;
};

// The Windows form of a native path, for binary paths and command lines.
std::wstring WindowsPath(const std::string& nativePath);

}  // namespace testkit
