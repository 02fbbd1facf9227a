#include "agent-windows/server/PlainConnection.h"

#include "agent-windows/server/UpgradeRequest.h"

void PlainConnection::ConnectSocket(const std::string& host, const std::string& port) {
  Throw(ConnectTcp(Resolve(host, port)));
}

bool PlainConnection::Prepare(const std::string& sn) {
  SetUpgradeOptions([sn](boost::beast::websocket::request_type& request) { DecorateUpgradeRequest(request, sn); });
  return TuneSocket();
}

void PlainConnection::Upgrade(const std::string& host, const std::string& target) {
  Throw(WsSession::Upgrade(host, target));
}
