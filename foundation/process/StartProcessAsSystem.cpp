#include <exception>
#include <string>

#include "foundation/log/Log.h"
#include "foundation/process/ProcessLaunch.h"
#include "foundation/process/ScopedHandle.h"
#include "platform/win32/Win32.h"

namespace {

constexpr DWORD kTokenAccess = TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY |
                               TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS |
                               TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID | READ_CONTROL;
static_assert(kTokenAccess == 0x201EB);

int LastError() { return static_cast<int>(GetLastError()); }

// The process's handles are closed whether or not it was waited for; that does not end it.
struct ProcessHandles {
  PROCESS_INFORMATION info{};
  ~ProcessHandles() {
    if (info.hThread != nullptr) CloseHandle(info.hThread);
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  }
};

}  // namespace

bool StartProcessAsSystem(const std::wstring& executable, const std::wstring& parameters, bool wait) {
  ScopedHandle token;
  ScopedHandle sessionToken;
  try {
    LogInfo(L"StartProcessAsSystem start.%s", executable.c_str());
    LogInfo(L"%s", executable.c_str());
    LogInfo(L"%s", parameters.c_str());

    DWORD session = WTSGetActiveConsoleSessionId();
    if (!OpenProcessToken(GetCurrentProcess(), kTokenAccess, token.Receive())) {
      LogError(L"OpenProcessToken failed ( %d ).", LastError());
      return false;
    }
    if (!DuplicateTokenEx(token.Get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                          TokenPrimary, sessionToken.Receive())) {
      LogError(L"DuplicateTokenEx failed ( %d ).", LastError());
      return false;
    }
    if (!SetTokenInformation(sessionToken.Get(), TokenSessionId, &session, sizeof session)) {
      LogError(L"SetTokenInformation failed ( %d ).", LastError());
      return false;
    }

    // Quoted, so that a path with blanks cannot run a program named by its first words.
    std::wstring commandLine = L"\"" + executable + L"\" " + parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ProcessHandles process;
    if (!CreateProcessAsUserW(sessionToken.Get(), nullptr, commandLine.data(), nullptr, nullptr,
                              FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup,
                              &process.info)) {
      LogError(L"CreateProcessAsUser failed ( %d ).", LastError());
      return false;
    }
    if (wait) WaitForSingleObject(process.info.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.info.hProcess, &exitCode)) {
      LogError(L"GetExitCodeProcess failed ( %d ).", LastError());
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    LogError(L"StartProcessAsSystem Exception caught: ");
    LogError(L"%S", e.what());
    return false;
  }
}
