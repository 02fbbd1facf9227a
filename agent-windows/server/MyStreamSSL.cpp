#include "agent-windows/server/MyStreamSSL.h"

#include <exception>

#include "agent-windows/server/UpgradeRequest.h"
#include "foundation/log/Log.h"

TlsClientContext::TlsClientContext() : m_tlsContext(boost::asio::ssl::context::tlsv12_client) {
  m_tlsContext.set_verify_mode(boost::asio::ssl::verify_none);
}

MyStreamSSL::MyStreamSSL(std::chrono::milliseconds connectLimit) : WsSession(connectLimit, m_tlsContext) {}

bool MyStreamSSL::ConnectWss(const std::string& host, const std::string& port, const std::string& target) {
  try {
    return Connect(host, port, target);
  } catch (const boost::system::system_error&) {
    LogError(L"ConnectWss Boost System Error caught: ");
  } catch (const std::exception&) {
    LogError(L"ConnectWss Exception caught: ");
  } catch (...) {
    LogError(L"ConnectWss Unknown exception caught");
  }
  return false;
}

bool MyStreamSSL::Connect(const std::string& host, const std::string& port, const std::string& target) {
  // A resolve error is raised, a connect error answered.
  if (ConnectTcp(Resolve(host, port))) {
    LogError(L"MyStreamSSL ConnectWss Connect fail");
    return false;
  }
  if (AwaitLimited([this](auto done) {
        WebSocket().next_layer().async_handshake(boost::asio::ssl::stream_base::client, std::move(done));
      })) {
    LogError(L"MyStreamSSL ConnectWss handshake fail");
    return false;
  }
  SetUpgradeOptions([](boost::beast::websocket::request_type& request) {
    DecorateUpgradeRequest(request, kTlsSerialName);
  });
  if (!TuneSocket()) {
    LogError(L"ConnectWss Error: Socket is not open");
    return false;
  }
  if (Upgrade(host, target)) {
    LogError(L"MyStreamSSL ConnectWss handshake2 fail");
    return false;
  }
  return true;
}
