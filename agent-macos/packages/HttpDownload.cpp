#include "agent-macos/packages/HttpDownload.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/file.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <exception>
#include <functional>

namespace packages {
namespace {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = boost::asio::ip::tcp;
using ErrorCode = boost::system::error_code;

// Runs the asynchronous operations of one download on the calling thread, one step at a time,
// each against the progress limit; the thread sleeps while a step waits.
class Steps {
 public:
  explicit Steps(std::chrono::milliseconds limit) : m_limit(limit), m_timer(m_io) {}

  net::io_context& io() { return m_io; }

  // start(handler) begins the operation; cancel stops it when the limit passes first.
  template <class Start>
  ErrorCode run(Start&& start, const std::function<void()>& cancel) {
    ErrorCode result;
    bool timedOut = false;
    m_timer.expires_after(m_limit);
    m_timer.async_wait([&](const ErrorCode& ec) {
      if (ec) return;
      timedOut = true;
      cancel();
    });
    start([&](const ErrorCode& ec, auto&&...) {
      result = ec;
      m_timer.cancel();
    });
    m_io.restart();
    m_io.run();
    return timedOut ? ErrorCode(net::error::timed_out) : result;
  }

 private:
  const std::chrono::milliseconds m_limit;
  net::io_context m_io;
  net::steady_timer m_timer;
};

template <class Stream>
ErrorCode exchange(Steps& steps, Stream& stream, const std::function<void()>& closeSocket, const ServerURL& url,
                   const std::filesystem::path& file, const HttpDownloadLimits& limits) {
  http::request<http::empty_body> request(http::verb::get, url.target, 11);
  request.set(http::field::host, url.Authority());
  ErrorCode ec = steps.run([&](auto handler) { http::async_write(stream, request, std::move(handler)); }, closeSocket);
  if (ec) return ec;

  http::response_parser<http::file_body> parser;
  parser.body_limit(limits.maxBodyBytes);
  parser.get().body().open(file.c_str(), beast::file_mode::write, ec);
  if (ec) return ec;
  beast::flat_buffer buffer;
  while (!parser.is_done()) {
    ec = steps.run([&](auto handler) { http::async_read_some(stream, buffer, parser, std::move(handler)); },
                   closeSocket);
    if (ec) return ec;
  }
  return {};
}

ErrorCode setServerName(ssl::stream<tcp::socket>& stream, const ServerURL& url) {
  // The server name carries host names only: an address literal goes without one.
  if (url.hostKind != ServerURL::HostKind::Name || SSL_set_tlsext_host_name(stream.native_handle(), url.host.c_str()))
    return {};
  return {static_cast<int>(ERR_get_error()), net::error::get_ssl_category()};
}

ErrorCode download(const ServerURL& url, const std::filesystem::path& file, const HttpDownloadLimits& limits) {
  Steps steps(limits.progress);
  tcp::resolver resolver(steps.io());
  tcp::resolver::results_type addresses;
  ErrorCode ec = steps.run(
      [&](auto handler) {
        resolver.async_resolve(url.host, std::to_string(url.port), tcp::resolver::numeric_service,
                               [&, handler](const ErrorCode& error, const tcp::resolver::results_type& found) {
                                 addresses = found;
                                 handler(error);
                               });
      },
      [&] { resolver.cancel(); });
  if (ec) return ec;

  ssl::context tls(ssl::context::tls_client);
  // The servers in the field present certificates no client could verify.
  tls.set_verify_mode(ssl::verify_none);
  // A plain download talks to the TLS layer's socket directly.
  ssl::stream<tcp::socket> stream(steps.io(), tls);
  tcp::socket& socket = stream.next_layer();
  const std::function<void()> closeSocket = [&] {
    ErrorCode ignored;
    socket.close(ignored);
  };
  ec = steps.run([&](auto handler) { net::async_connect(socket, addresses, std::move(handler)); }, closeSocket);
  if (ec) return ec;
  if (!url.secure) return exchange(steps, socket, closeSocket, url, file, limits);

  if ((ec = setServerName(stream, url))) return ec;
  ec = steps.run([&](auto handler) { stream.async_handshake(ssl::stream_base::client, std::move(handler)); },
                 closeSocket);
  if (ec) return ec;
  return exchange(steps, stream, closeSocket, url, file, limits);
}

}  // namespace

std::optional<std::string> httpDownload(const ServerURL& url, const std::filesystem::path& file,
                                        const HttpDownloadLimits& limits) {
  try {
    const ErrorCode ec = download(url, file, limits);
    if (ec) return ec.message();
    return std::nullopt;
  } catch (const std::exception& e) {
    // Asio throws where it cannot get a resource, such as its resolver's thread.
    return e.what();
  }
}

}  // namespace packages
