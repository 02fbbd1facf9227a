// One HTTP exchange of a WinHTTP request: the connection of its latest send, the response's
// header and the body as it arrives. Results are ERROR_SUCCESS or a WinHTTP error code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/api/Types.h"

namespace win32 {

struct HttpTarget {
  std::string host;  // a name, an IPv4 address or a bracketed IPv6 address
  std::uint16_t port = 0;
  bool secure = false;
  std::string verb;
  std::string path;
  unsigned version = 11;  // 10 or 11
  std::string agent;
  std::string referrer;  // empty: none
  std::string accept;    // empty: none
};

class HttpExchange {
 public:
  HttpExchange();
  ~HttpExchange();  // drops the connection
  HttpExchange(const HttpExchange&) = delete;
  HttpExchange& operator=(const HttpExchange&) = delete;

  // Resolves, connects, verifies the server over TLS (securityFlags: SECURITY_FLAG_IGNORE_*)
  // and writes the request.
  DWORD Send(const HttpTarget& target, DWORD securityFlags);
  DWORD ReceiveHeader();
  // Waits until body bytes are at hand; 0 once the body has ended.
  DWORD Available(DWORD& count);
  DWORD Read(void* buffer, DWORD size, DWORD& count);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace win32
