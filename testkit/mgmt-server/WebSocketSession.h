// Takes over a connection whose request was a WebSocket upgrade: completes the upgrade, records
// every message, and writes the scripted ones.
#pragma once

#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <memory>

#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/mgmt-server/ServerContext.h"

namespace testkit::mgmt {

using PlainStream = boost::beast::tcp_stream;
using TlsStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;
using Request = boost::beast::http::request<boost::beast::http::string_body>;

void StartWebSocket(const std::shared_ptr<ServerContext>& context, PlainStream stream,
                    Request request, MgmtUpgrade upgrade);
void StartWebSocket(const std::shared_ptr<ServerContext>& context, TlsStream stream,
                    Request request, MgmtUpgrade upgrade);

}  // namespace testkit::mgmt
