#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Fault.h"
#include "platform/win32/internal/Services.h"
#include "platform/win32/internal/Spawn.h"
#include "platform/win32/internal/Token.h"

namespace {

// Windows' pseudo handle of the calling process.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

BOOL StartProcess(LPCWSTR applicationName, LPCWSTR commandLine, BOOL inheritHandles,
                  LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                  LPPROCESS_INFORMATION processInformation, DWORD sessionId) {
  if ((applicationName == nullptr && commandLine == nullptr) || startupInfo == nullptr ||
      processInformation == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  win32::SpawnRequest request;
  if (applicationName != nullptr) request.applicationName = applicationName;
  // Without a command line Windows passes the application name as the whole of it.
  request.commandLine = commandLine != nullptr ? commandLine : applicationName;
  if (currentDirectory != nullptr) request.currentDirectory = currentDirectory;
  request.sessionId = sessionId;
  request.inheritHandles = inheritHandles != FALSE;

  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<win32::ChildProcess> child = win32::SpawnProcess(request, &error);
  if (!child) {
    SetLastError(error);
    return FALSE;
  }
  processInformation->hProcess = win32::HandleFromObject(new win32::ProcessObject(child));
  processInformation->hThread = win32::HandleFromObject(new win32::ThreadObject(child));
  processInformation->dwProcessId = child->Pid();
  processInformation->dwThreadId = child->Pid();
  return TRUE;
}

bool CopyOut(const std::wstring& text, LPWSTR buffer, DWORD* size) {
  if (buffer == nullptr || *size <= text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::wmemcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<DWORD>(text.size());
  return true;
}

}  // namespace

namespace win32 {

std::wstring CurrentImagePath() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return NativeToWindowsPath(path);
}

}  // namespace win32

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL inheritHandles, DWORD, LPVOID,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if (win32::InjectedFailure("CreateProcessW")) return FALSE;
  return StartProcess(applicationName, commandLine, inheritHandles, currentDirectory, startupInfo,
                      processInformation, win32::CurrentSessionId());
}

BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                          LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL inheritHandles, DWORD,
                          LPVOID, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                          LPPROCESS_INFORMATION processInformation) {
  auto* object = win32::ObjectFromHandle<win32::TokenObject>(token);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (win32::InjectedFailure("CreateProcessAsUserW")) return FALSE;
  if (!object->Primary() || !object->Allows(TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // Only the services' session 0 and the console session 1 exist.
  if (object->SessionId() > 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return StartProcess(applicationName, commandLine, inheritHandles, currentDirectory, startupInfo,
                      processInformation, object->SessionId());
}

HANDLE GetCurrentProcess() { return kCurrentProcess; }

void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  if (const std::wstring* service = win32::OwnServiceName()) {
    std::ofstream file(win32::ServiceExitCodePath(*service), std::ios::trunc);
    file << exitCode << '\n';
  }
  _exit(static_cast<int>(exitCode));
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  if (exitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (win32::InjectedFailure("GetExitCodeProcess")) return FALSE;
  if (process == kCurrentProcess) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  auto* object = win32::ObjectFromHandle<win32::ProcessObject>(process);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = object->Process().ExitCode();
  return TRUE;
}

BOOL QueryFullProcessImageNameW(HANDLE process, DWORD, LPWSTR name, DWORD* size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (win32::InjectedFailure("QueryFullProcessImageNameW")) return FALSE;
  std::wstring path;
  if (process == kCurrentProcess) {
    path = win32::CurrentImagePath();
  } else if (auto* object = win32::ObjectFromHandle<win32::ProcessObject>(process)) {
    path = object->Process().ImagePath();
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CopyOut(path, name, size) ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR fileName, DWORD size) {
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wstring path = win32::CurrentImagePath();
  if (path.size() >= size) {
    // Cut and terminated, as Windows does.
    std::wmemcpy(fileName, path.c_str(), size - 1);
    fileName[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::wmemcpy(fileName, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
