#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include <sys/stat.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/KernelObject.h"
#include "platform/win32/internal/NativeFolders.h"
#include "platform/win32/internal/Services.h"

const KNOWNFOLDERID FOLDERID_LocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

namespace {

constexpr DWORD kNoConsoleSession = 0xFFFFFFFF;
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0x80070006);

class UserToken : public win32::KernelObject {
 public:
  explicit UserToken(std::wstring user) : m_user(std::move(user)) {}
  const std::wstring& User() const { return m_user; }

 private:
  std::wstring m_user;
};

thread_local std::wstring t_impersonatedUser;

std::wstring ConsoleUser() {
  const char* user = std::getenv("TARVIK_WIN32_CONSOLE_USER");
  return win32::Utf8ToWide(user != nullptr && *user != '\0' ? user : "User");
}

std::wstring LocalAppDataOf(const std::wstring& user) {
  return L"C:\\Users\\" + user + L"\\AppData\\Local";
}

// The folder of whoever the thread acts as: the impersonated user, else the process's account.
std::wstring OwnLocalAppData() {
  if (!t_impersonatedUser.empty()) return LocalAppDataOf(t_impersonatedUser);
  if (win32::OwnServiceName() != nullptr)
    return L"C:\\Windows\\System32\\config\\systemprofile\\AppData\\Local";
  return LocalAppDataOf(ConsoleUser());
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

namespace win32 {

bool MakeNativeFolders(const std::string& nativePath) {
  for (size_t slash = nativePath.find('/', 1);; slash = nativePath.find('/', slash + 1)) {
    std::string part = nativePath.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace win32

HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (path == nullptr) return E_FAIL;
  if (folder != CSIDL_COMMON_APPDATA) return E_FAIL;
  std::wcsncpy(path, L"C:\\ProgramData", MAX_PATH);
  return S_OK;
}

HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID folderId, DWORD, HANDLE token, PWSTR* path) {
  if (path == nullptr) return E_INVALIDARG;
  *path = nullptr;
  if (!SameGuid(folderId, FOLDERID_LocalAppData)) return kFileNotFound;
  std::wstring folder;
  if (token != nullptr) {
    auto* user = win32::ObjectFromHandle<UserToken>(token);
    if (user == nullptr) return kInvalidHandle;
    folder = LocalAppDataOf(user->User());
  } else {
    folder = OwnLocalAppData();
  }
  auto* copy = static_cast<PWSTR>(std::malloc((folder.size() + 1) * sizeof(wchar_t)));
  if (copy == nullptr) return E_FAIL;
  std::wmemcpy(copy, folder.c_str(), folder.size() + 1);
  *path = copy;
  return S_OK;
}

void CoTaskMemFree(LPVOID memory) { std::free(memory); }

BOOL WTSQueryUserToken(ULONG sessionId, PHANDLE token) {
  if (token == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (win32::OwnServiceName() == nullptr) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  DWORD console = WTSGetActiveConsoleSessionId();
  if (console == kNoConsoleSession || sessionId != console) {
    SetLastError(ERROR_NO_TOKEN);
    return FALSE;
  }
  *token = win32::HandleFromObject(new UserToken(ConsoleUser()));
  return TRUE;
}

BOOL ImpersonateLoggedOnUser(HANDLE token) {
  auto* user = win32::ObjectFromHandle<UserToken>(token);
  if (user == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  t_impersonatedUser = user->User();
  return TRUE;
}

BOOL RevertToSelf() {
  t_impersonatedUser.clear();
  return TRUE;
}
