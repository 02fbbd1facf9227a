#include <memory>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Fault.h"
#include "platform/win32/internal/HttpExchange.h"
#include "platform/win32/internal/KernelObject.h"

namespace {

// Every WinHTTP handle, whatever its kind.
class InternetObject : public win32::KernelObject {};

class SessionObject : public InternetObject {
 public:
  std::string agent;
};

class ConnectObject : public InternetObject {
 public:
  std::string agent;
  std::string host;
  INTERNET_PORT port = INTERNET_DEFAULT_PORT;
};

class RequestObject : public InternetObject {
 public:
  win32::HttpTarget target;
  DWORD securityFlags = 0;
  // The exchange of the latest send; a new send drops it.
  std::unique_ptr<win32::HttpExchange> exchange;
  bool responseReceived = false;
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HINTERNET FailHandle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

std::string Utf8(LPCWSTR text) { return text == nullptr ? std::string() : win32::WideToUtf8(text); }

// The handle's object when it is one of ours of type T; null with the last error set otherwise.
template <typename T>
T* Object(HINTERNET handle) {
  if (auto* object = win32::ObjectFromHandle<T>(handle)) return object;
  bool other = win32::ObjectFromHandle<InternetObject>(handle) != nullptr;
  SetLastError(other ? ERROR_WINHTTP_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
  return nullptr;
}

// The request whose response headers have arrived.
RequestObject* ReceivingRequest(HINTERNET handle) {
  RequestObject* request = Object<RequestObject>(handle);
  if (request != nullptr && !request->responseReceived) {
    SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    return nullptr;
  }
  return request;
}

std::string AcceptHeader(LPCWSTR* types) {
  std::string accept;
  for (; types != nullptr && *types != nullptr; ++types)
    accept += (accept.empty() ? "" : ", ") + Utf8(*types);
  return accept;
}

}  // namespace

HINTERNET WinHttpOpen(LPCWSTR agent, DWORD accessType, LPCWSTR, LPCWSTR, DWORD flags) {
  if (win32::InjectedFailure("WinHttpOpen")) return nullptr;
  if (accessType != WINHTTP_ACCESS_TYPE_NO_PROXY || flags != 0)
    return FailHandle(ERROR_INVALID_PARAMETER);
  auto* session = new SessionObject();
  session->agent = Utf8(agent);
  return win32::HandleFromObject(session);
}

HINTERNET WinHttpConnect(HINTERNET session, LPCWSTR serverName, INTERNET_PORT serverPort, DWORD) {
  if (win32::InjectedFailure("WinHttpConnect")) return nullptr;
  SessionObject* parent = Object<SessionObject>(session);
  if (parent == nullptr) return nullptr;
  if (serverName == nullptr || *serverName == L'\0') return FailHandle(ERROR_INVALID_PARAMETER);
  auto* connect = new ConnectObject();
  connect->agent = parent->agent;
  connect->host = Utf8(serverName);
  connect->port = serverPort;
  return win32::HandleFromObject(connect);
}

HINTERNET WinHttpOpenRequest(HINTERNET connect, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags) {
  if (win32::InjectedFailure("WinHttpOpenRequest")) return nullptr;
  ConnectObject* parent = Object<ConnectObject>(connect);
  if (parent == nullptr) return nullptr;
  const std::string versionText = version == nullptr ? "HTTP/1.1" : Utf8(version);
  const bool knownVersion = versionText == "HTTP/1.1" || versionText == "HTTP/1.0";
  if (!knownVersion || (flags & ~static_cast<DWORD>(WINHTTP_FLAG_SECURE)) != 0)
    return FailHandle(ERROR_INVALID_PARAMETER);
  auto* request = new RequestObject();
  win32::HttpTarget& target = request->target;
  target.secure = (flags & WINHTTP_FLAG_SECURE) != 0;
  target.host = parent->host;
  target.port = parent->port != INTERNET_DEFAULT_PORT
                    ? parent->port
                    : (target.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
  target.verb = verb == nullptr ? "GET" : Utf8(verb);
  target.path = objectName == nullptr || *objectName == L'\0' ? "/" : Utf8(objectName);
  target.version = versionText == "HTTP/1.0" ? 10 : 11;
  target.agent = parent->agent;
  target.referrer = Utf8(referrer);
  target.accept = AcceptHeader(acceptTypes);
  return win32::HandleFromObject(request);
}

BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  if (win32::InjectedFailure("WinHttpSetOption")) return FALSE;
  if (option != WINHTTP_OPTION_SECURITY_FLAGS) return Fail(ERROR_WINHTTP_INVALID_OPTION);
  RequestObject* request = Object<RequestObject>(handle);
  if (request == nullptr) return FALSE;
  if (buffer == nullptr || bufferLength < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  request->securityFlags = *static_cast<const DWORD*>(buffer);
  return TRUE;
}

BOOL WinHttpSendRequest(HINTERNET handle, LPCWSTR headers, DWORD, LPVOID optional, DWORD,
                        DWORD totalLength, DWORD_PTR) {
  if (win32::InjectedFailure("WinHttpSendRequest")) return FALSE;
  RequestObject* request = Object<RequestObject>(handle);
  if (request == nullptr) return FALSE;
  if (headers != nullptr || optional != nullptr || totalLength != 0)
    return Fail(ERROR_INVALID_PARAMETER);
  request->responseReceived = false;
  request->exchange = std::make_unique<win32::HttpExchange>();
  DWORD error = request->exchange->Send(request->target, request->securityFlags);
  if (error == ERROR_SUCCESS) return TRUE;
  request->exchange.reset();
  return Fail(error);
}

BOOL WinHttpReceiveResponse(HINTERNET handle, LPVOID) {
  if (win32::InjectedFailure("WinHttpReceiveResponse")) return FALSE;
  RequestObject* request = Object<RequestObject>(handle);
  if (request == nullptr) return FALSE;
  if (request->exchange == nullptr || request->responseReceived)
    return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  DWORD error = request->exchange->ReceiveHeader();
  if (error != ERROR_SUCCESS) return Fail(error);
  request->responseReceived = true;
  return TRUE;
}

BOOL WinHttpQueryDataAvailable(HINTERNET handle, LPDWORD bytesAvailable) {
  if (win32::InjectedFailure("WinHttpQueryDataAvailable")) return FALSE;
  RequestObject* request = ReceivingRequest(handle);
  if (request == nullptr) return FALSE;
  DWORD count = 0;
  DWORD error = request->exchange->Available(count);
  if (bytesAvailable != nullptr) *bytesAvailable = count;
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL WinHttpReadData(HINTERNET handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
  if (win32::InjectedFailure("WinHttpReadData")) return FALSE;
  RequestObject* request = ReceivingRequest(handle);
  if (request == nullptr) return FALSE;
  if (buffer == nullptr && bytesToRead > 0) return Fail(ERROR_INVALID_PARAMETER);
  DWORD count = 0;
  DWORD error = request->exchange->Read(buffer, bytesToRead, count);
  if (bytesRead != nullptr) *bytesRead = count;
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL WinHttpCloseHandle(HINTERNET handle) {
  auto* object = win32::ObjectFromHandle<InternetObject>(handle);
  if (object == nullptr) return Fail(ERROR_INVALID_HANDLE);
  delete object;
  return TRUE;
}
