// The plain WebSocket connection. Its steps raise the library's errors; the manager's plain
// connect path catches and logs them.
#pragma once

#include <chrono>
#include <string>

#include <boost/beast/core/tcp_stream.hpp>

#include "agent-windows/server/WsSession.h"

class PlainConnection final : public WsSession<boost::beast::tcp_stream> {
 public:
  explicit PlainConnection(std::chrono::milliseconds connectLimit) : WsSession(connectLimit) {}

  // Resolves and connects; throws boost::system::system_error.
  void ConnectSocket(const std::string& host, const std::string& port);
  // Suggested timeouts, the upgrade decorator and the socket options; false when the socket
  // is not open.
  bool Prepare(const std::string& sn);
  // Throws boost::system::system_error.
  void Upgrade(const std::string& host, const std::string& target);
};
