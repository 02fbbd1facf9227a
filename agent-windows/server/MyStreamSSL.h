// One TLS WebSocket connection; a new one for every connect attempt. It checks nothing of the
// server: any certificate is accepted and no server name is sent, since servers rely on that.
#pragma once

#include <chrono>
#include <string>

#include <boost/asio/ssl/context.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include "agent-windows/server/WsSession.h"

// Holds the TLS context so that it is made before the stream that is made from it.
class TlsClientContext {
 protected:
  TlsClientContext();
  boost::asio::ssl::context m_tlsContext;
};

class MyStreamSSL final : private TlsClientContext,
                          public WsSession<boost::beast::ssl_stream<boost::beast::tcp_stream>> {
 public:
  explicit MyStreamSSL(std::chrono::milliseconds connectLimit);

  // Connect, TLS handshake and upgrade; false after a log line.
  bool ConnectWss(const std::string& host, const std::string& port, const std::string& target);

 private:
  bool Connect(const std::string& host, const std::string& port, const std::string& target);
};
