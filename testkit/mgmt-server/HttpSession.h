// A freshly accepted connection: TLS or not (told by its first bytes), then one HTTP request,
// which is either a WebSocket upgrade or a package download.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <memory>

#include "testkit/mgmt-server/ServerContext.h"

namespace testkit::mgmt {

void StartHttpSession(const std::shared_ptr<ServerContext>& context,
                      boost::asio::ip::tcp::socket socket);

// For a silent server: the connection is held open and never read.
void HoldSilently(const std::shared_ptr<ServerContext>& context,
                  boost::asio::ip::tcp::socket socket);

}  // namespace testkit::mgmt
