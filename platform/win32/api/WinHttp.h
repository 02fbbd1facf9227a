// WinHTTP, synchronous: one GET over TLS (or plain HTTP) whose body is read in pieces. The
// send resolves, connects and, over TLS, verifies the server's certificate against the
// machine's trusted roots (internal/TrustedRoots.h), host name and dates included; an untrusted
// certificate fails the send with ERROR_WINHTTP_SECURE_FAILURE unless the request's security
// flags ignore that fault. Time limits are WinHTTP's defaults: none to resolve, 60 s to
// connect, 30 s for each send and receive. Proxies, redirects and authentication are not
// supported.
#pragma once

#include "platform/win32/api/Types.h"

typedef LPVOID HINTERNET;
typedef WORD INTERNET_PORT;
typedef int INTERNET_SCHEME;

#define INTERNET_SCHEME_HTTP 1
#define INTERNET_SCHEME_HTTPS 2

#define INTERNET_DEFAULT_PORT 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define WINHTTP_ACCESS_TYPE_NO_PROXY 1
#define WINHTTP_NO_PROXY_NAME nullptr
#define WINHTTP_NO_PROXY_BYPASS nullptr
#define WINHTTP_NO_REFERER nullptr
#define WINHTTP_DEFAULT_ACCEPT_TYPES nullptr
#define WINHTTP_NO_ADDITIONAL_HEADERS nullptr
#define WINHTTP_NO_REQUEST_DATA nullptr

#define WINHTTP_FLAG_SECURE 0x00800000

#define WINHTTP_OPTION_SECURITY_FLAGS 31
#define SECURITY_FLAG_IGNORE_UNKNOWN_CA 0x00000100
#define SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE 0x00000200
#define SECURITY_FLAG_IGNORE_CERT_CN_INVALID 0x00001000
#define SECURITY_FLAG_IGNORE_CERT_DATE_INVALID 0x00002000

#define ERROR_WINHTTP_TIMEOUT 12002L
#define ERROR_WINHTTP_INTERNAL_ERROR 12004L
#define ERROR_WINHTTP_INVALID_URL 12005L
#define ERROR_WINHTTP_UNRECOGNIZED_SCHEME 12006L
#define ERROR_WINHTTP_NAME_NOT_RESOLVED 12007L
#define ERROR_WINHTTP_INVALID_OPTION 12009L
#define ERROR_WINHTTP_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_WINHTTP_INCORRECT_HANDLE_STATE 12019L
#define ERROR_WINHTTP_CANNOT_CONNECT 12029L
#define ERROR_WINHTTP_CONNECTION_ERROR 12030L
#define ERROR_WINHTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_WINHTTP_SECURE_FAILURE 12175L

typedef struct _URL_COMPONENTS {
  DWORD dwStructSize;
  LPWSTR lpszScheme;
  DWORD dwSchemeLength;
  INTERNET_SCHEME nScheme;
  LPWSTR lpszHostName;
  DWORD dwHostNameLength;
  INTERNET_PORT nPort;
  LPWSTR lpszUserName;
  DWORD dwUserNameLength;
  LPWSTR lpszPassword;
  DWORD dwPasswordLength;
  LPWSTR lpszUrlPath;
  DWORD dwUrlPathLength;
  LPWSTR lpszExtraInfo;
  DWORD dwExtraInfoLength;
} URL_COMPONENTS, *LPURL_COMPONENTS;

// Only WINHTTP_ACCESS_TYPE_NO_PROXY and no flags (synchronous).
HINTERNET WinHttpOpen(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass,
                      DWORD flags);
// Splits an http or https URL (urlLength 0: up to its terminating zero; flags must be 0). A
// component with a buffer and a length is copied there (ERROR_INSUFFICIENT_BUFFER when it does
// not fit); with a length and no buffer it points into the URL; with neither it is skipped.
// Without an extra-info component the query stays part of the URL path.
BOOL WinHttpCrackUrl(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTS components);
// Names the server; nothing goes over the network until a request is sent. INTERNET_DEFAULT_PORT
// is 443 for a secure request and 80 otherwise.
HINTERNET WinHttpConnect(HINTERNET session, LPCWSTR serverName, INTERNET_PORT serverPort,
                         DWORD reserved);
// verb null: GET; objectName null: "/"; version null or "HTTP/1.1", or "HTTP/1.0".
HINTERNET WinHttpOpenRequest(HINTERNET connect, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags);
// Only WINHTTP_OPTION_SECURITY_FLAGS on a request, a DWORD of SECURITY_FLAG_IGNORE_* bits.
BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
// Connects and writes the request; no additional headers and no body. A request may be sent
// again, over a new connection, for instance after a secure failure.
BOOL WinHttpSendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                        DWORD optionalLength, DWORD totalLength, DWORD_PTR context);
// Reads the status line and headers. The status is not examined.
BOOL WinHttpReceiveResponse(HINTERNET request, LPVOID reserved);
// Waits until body bytes are at hand; 0 once the body has ended.
BOOL WinHttpQueryDataAvailable(HINTERNET request, LPDWORD bytesAvailable);
// Up to bytesToRead body bytes; 0 bytes read once the body has ended.
BOOL WinHttpReadData(HINTERNET request, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead);
// A session, connection or request; each handle is closed on its own, in any order.
BOOL WinHttpCloseHandle(HINTERNET handle);
