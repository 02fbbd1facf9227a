#include <cstdint>
#include <fstream>
#include <string>

#include "agent-windows/update/CheckFileSigner.h"
#include "agent-windows/update/InstallationSequence.h"
#include "foundation/log/Log.h"
#include "foundation/text/Paths.h"
#include "foundation/text/TextConversion.h"
#include "platform/win32/Win32.h"

namespace {

constexpr wchar_t kAgentName[] = L"A WinHTTP Example Program/1.0";
constexpr DWORD kHostNameLength = 256;
constexpr DWORD kUrlPathLength = 1024;
constexpr DWORD kReadBufferSize = 8192;
constexpr DWORD kIgnoreCertificateErrors =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

int LastError() { return static_cast<int>(GetLastError()); }

// Closes a WinHTTP handle when it leaves scope, so every way out closes it.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : m_handle(handle) {}
  ~InternetHandle() {
    if (m_handle != nullptr) WinHttpCloseHandle(m_handle);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  HINTERNET Get() const { return m_handle; }

 private:
  HINTERNET m_handle;
};

// Sends the request; a certificate the machine does not trust is accepted on a second send.
bool Send(HINTERNET request) {
  if (WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                         0))
    return true;
  if (GetLastError() != ERROR_WINHTTP_SECURE_FAILURE) {
    LogError(L"WinHttpSendRequest failed ( %d ).", LastError());
    return false;
  }
  DWORD flags = kIgnoreCertificateErrors;
  if (!WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) {
    LogError(L"WinHttpSetOption failed ( %d ).", LastError());
    return false;
  }
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                          0, 0)) {
    LogError(L"WinHttpSendRequest failed after setting security flags ( %d ).", LastError());
    return false;
  }
  return true;
}

// Whatever body the response has goes into the file, whatever its status.
bool WriteBody(HINTERNET request, const std::wstring& path) {
  std::ofstream file(win32::NativePathForDependency(WStringToString(path)),
                     std::ios::binary | std::ios::trunc);
  if (!file) {
    LogError(L"Failed to open output file: %s", path.c_str());
    return false;
  }
  char buffer[kReadBufferSize];
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) {
      LogError(L"WinHttpQueryDataAvailable failed: %d", LastError());
      return false;
    }
    if (available == 0) return true;
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer, available < kReadBufferSize ? available : kReadBufferSize,
                         &read)) {
      LogError(L"WinHttpReadData failed: %d", LastError());
      return false;
    }
    file.write(buffer, read);
  }
}

// The response to a GET of the URL, always over TLS, into the file.
bool Fetch(const std::wstring& url, const std::wstring& path) {
  InternetHandle session(WinHttpOpen(kAgentName, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.Get() == nullptr) {
    LogError(L"WinHttpOpen failed ( %d ).", LastError());
    return false;
  }
  wchar_t host[kHostNameLength] = {};
  wchar_t urlPath[kUrlPathLength] = {};
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = kHostNameLength;
  parts.lpszUrlPath = urlPath;
  parts.dwUrlPathLength = kUrlPathLength;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
    LogError(L"WinHttpCrackUrl failed ( %d ).", LastError());
    return false;
  }
  InternetHandle connection(WinHttpConnect(session.Get(), host, parts.nPort, 0));
  if (connection.Get() == nullptr) {
    LogError(L"WinHttpConnect failed ( %d ).", LastError());
    return false;
  }
  InternetHandle request(WinHttpOpenRequest(connection.Get(), L"GET", urlPath, nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            WINHTTP_FLAG_SECURE));
  if (request.Get() == nullptr) {
    LogError(L"WinHttpOpenRequest failed ( %d ).", LastError());
    return false;
  }
  if (!Send(request.Get())) return false;
  if (!WinHttpReceiveResponse(request.Get(), nullptr)) {
    LogError(L"WinHttpReceiveResponse failed ( %d ).", LastError());
    return false;
  }
  return WriteBody(request.Get(), path);
}

bool HasSize(const std::wstring& path, std::int64_t expectedSize) {
  if (!IsFileExist(path.c_str())) {
    LogError(L"IsFileExist. %s", path.c_str());
    return false;
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
    LogError(L"GetFileAttributesEx Error.");
    return false;
  }
  const std::int64_t size =
      static_cast<std::int64_t>((static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) |
                                attributes.nFileSizeLow);
  if (size != expectedSize) {
    LogError(L"%s File Size Check (%d  %d ).", path.c_str(), static_cast<int>(size),
             static_cast<int>(expectedSize));
    return false;
  }
  return true;
}

}  // namespace

bool DownloadFile(const std::wstring& url, std::wstring& path, std::int64_t expectedSize) {
  wchar_t tempFolder[MAX_PATH] = {};
  const DWORD folderLength = GetTempPathW(MAX_PATH, tempFolder);
  if (folderLength == 0 || folderLength > MAX_PATH) {
    LogError(L"GetTempPath failed ( %d ).", LastError());
    return false;
  }
  wchar_t tempFile[MAX_PATH] = {};
  if (GetTempFileNameW(tempFolder, L"DLF", 0, tempFile) == 0) {
    LogError(L"GetTempFileName failed ( %d ).", LastError());
    return false;
  }
  path = tempFile;
  if (Fetch(url, path) && HasSize(path, expectedSize)) {
    if (CheckFileSigner(path)) return true;
    LogError(L"File Signature check fail.");
  }
  // A failed attempt's file would otherwise stay in the temporary folder for good.
  DeleteFileW(path.c_str());
  return false;
}
