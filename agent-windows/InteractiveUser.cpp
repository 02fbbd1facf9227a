#include "agent-windows/InteractiveUser.h"

#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

bool GetInteractiveUserAppDataPath(std::wstring& path) {
  HANDLE token = nullptr;
  if (!WTSQueryUserToken(WTSGetActiveConsoleSessionId(), &token)) {
    LogError(L"WTSQueryUserToken failed: %d", static_cast<int>(GetLastError()));
    return false;
  }
  if (!ImpersonateLoggedOnUser(token)) {
    LogError(L"ImpersonateLoggedOnUser failed: %d", static_cast<int>(GetLastError()));
    CloseHandle(token);
    return false;
  }
  PWSTR folder = nullptr;
  HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, token, &folder);
  RevertToSelf();
  if (FAILED(result)) {
    LogError(L"SHGetKnownFolderPath failed: %d", static_cast<int>(result));
    CoTaskMemFree(folder);
    CloseHandle(token);
    return false;
  }
  path = folder;
  CoTaskMemFree(folder);
  CloseHandle(token);
  return true;
}
