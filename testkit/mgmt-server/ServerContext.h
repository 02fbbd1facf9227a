// What every session of one server shares. Sessions hold it by shared_ptr, so a completion
// handler that outlives the server's object still finds it.
#pragma once

#include <boost/asio/ssl/context.hpp>
#include <memory>

#include "testkit/mgmt-server/Connections.h"
#include "testkit/mgmt-server/Recorder.h"

namespace testkit::mgmt {

struct ServerContext {
  ServerContext(std::shared_ptr<Recorder> r, bool tlsOnlyListener)
      : recorder(std::move(r)), connections(*recorder), tlsOnly(tlsOnlyListener) {}

  std::shared_ptr<Recorder> recorder;
  Connections connections;
  boost::asio::ssl::context tls{boost::asio::ssl::context::tls_server};
  bool tlsOnly;
};

}  // namespace testkit::mgmt
