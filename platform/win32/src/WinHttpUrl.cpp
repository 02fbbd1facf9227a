#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string_view>

#include "platform/win32/Win32.h"

namespace {

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// 1 to 65535 in decimal digits; 0 for anything else.
INTERNET_PORT ParsePort(std::wstring_view text) {
  if (text.empty() || text.size() > 5) return 0;
  unsigned value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value <= 0xFFFF ? static_cast<INTERNET_PORT>(value) : 0;
}

// Hands one component out as the caller asked for it: copied into its buffer, pointed at within
// the URL, or not at all. False when the buffer is too small; the length then says how many
// characters, the terminating zero included, it needs.
bool HandOut(std::wstring_view part, LPWSTR& buffer, DWORD& length) {
  if (length == 0) return true;
  if (buffer == nullptr) {
    buffer = const_cast<LPWSTR>(part.data());
    length = static_cast<DWORD>(part.size());
    return true;
  }
  if (part.size() + 1 > length) {
    length = static_cast<DWORD>(part.size() + 1);
    return false;
  }
  std::wmemcpy(buffer, part.data(), part.size());
  buffer[part.size()] = L'\0';
  length = static_cast<DWORD>(part.size());
  return true;
}

}  // namespace

BOOL WinHttpCrackUrl(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTS components) {
  if (url == nullptr || components == nullptr || flags != 0 ||
      components->dwStructSize != sizeof(URL_COMPONENTS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::wstring_view text(url, urlLength != 0 ? urlLength : std::wcslen(url));
  const std::size_t schemeEnd = text.find(L"://");
  if (schemeEnd == std::wstring_view::npos) {
    SetLastError(ERROR_WINHTTP_INVALID_URL);
    return FALSE;
  }
  const std::wstring_view scheme = text.substr(0, schemeEnd);
  const bool https = EqualsIgnoringCase(scheme, L"https");
  if (!https && !EqualsIgnoringCase(scheme, L"http")) {
    SetLastError(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
    return FALSE;
  }

  const std::wstring_view rest = text.substr(schemeEnd + 3);
  const std::size_t authorityEnd = std::min(rest.find_first_of(L"/?#"), rest.size());
  std::wstring_view authority = rest.substr(0, authorityEnd);
  std::wstring_view user, password;
  if (std::size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) {
    std::wstring_view credentials = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    std::size_t colon = credentials.find(L':');
    user = credentials.substr(0, colon);
    if (colon != std::wstring_view::npos) password = credentials.substr(colon + 1);
  }
  // The port's colon comes after a bracketed IPv6 address.
  const std::size_t hostEnd = authority.find(L':', authority.empty() || authority[0] != L'['
                                                       ? 0
                                                       : authority.find(L']'));
  const std::wstring_view host = authority.substr(0, hostEnd);
  INTERNET_PORT port = https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  if (hostEnd != std::wstring_view::npos) port = ParsePort(authority.substr(hostEnd + 1));
  if (host.empty() || port == 0) {
    SetLastError(ERROR_WINHTTP_INVALID_URL);
    return FALSE;
  }

  std::wstring_view path = rest.substr(authorityEnd);
  std::wstring_view extra;
  if (components->dwExtraInfoLength != 0) {
    std::size_t query = std::min(path.find_first_of(L"?#"), path.size());
    extra = path.substr(query);
    path = path.substr(0, query);
  }

  components->nScheme = https ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP;
  components->nPort = port;
  URL_COMPONENTS& c = *components;
  // Not short-circuited: every buffer that is too small learns the size it needs.
  bool fits = HandOut(scheme, c.lpszScheme, c.dwSchemeLength);
  fits &= HandOut(host, c.lpszHostName, c.dwHostNameLength);
  fits &= HandOut(user, c.lpszUserName, c.dwUserNameLength);
  fits &= HandOut(password, c.lpszPassword, c.dwPasswordLength);
  fits &= HandOut(path, c.lpszUrlPath, c.dwUrlPathLength);
  fits &= HandOut(extra, c.lpszExtraInfo, c.dwExtraInfoLength);
  if (!fits) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return TRUE;
}
