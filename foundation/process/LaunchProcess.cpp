#include <exception>
#include <string>

#include "foundation/process/ProcessLaunch.h"
#include "platform/win32/Win32.h"

bool LaunchProcess(const std::wstring& path, const std::wstring& parameters, bool show) {
  try {
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!parameters.empty()) commandLine += L" " + parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!show) {
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT,
                        nullptr, nullptr, &startup, &process))
      return false;
    // Nobody waits for it: its handles are not kept.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
