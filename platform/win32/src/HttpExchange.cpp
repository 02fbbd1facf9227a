#include "platform/win32/internal/HttpExchange.h"

#include <algorithm>
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/win32/api/Errors.h"
#include "platform/win32/api/WinHttp.h"
#include "platform/win32/internal/HttpTls.h"

namespace win32 {
namespace {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;

constexpr auto kConnectTimeout = std::chrono::seconds(60);
constexpr auto kSendTimeout = std::chrono::seconds(30);
constexpr auto kReceiveTimeout = std::chrono::seconds(30);
constexpr std::size_t kChunkSize = 8192;

// Runs the exchange's own I/O context until the operation that start begins has completed:
// the calls are synchronous, the operations asynchronous so that they can time out.
template <class Start>
beast::error_code Complete(net::io_context& io, Start start) {
  std::optional<beast::error_code> result;
  start([&result](beast::error_code ec, auto&&...) { result = ec; });
  io.restart();
  while (!result && io.run_one() > 0) {
  }
  return result.value_or(net::error::operation_aborted);
}

// A response that breaks off is a connection error; one that does not parse is invalid.
DWORD TransferError(const beast::error_code& ec) {
  if (ec == beast::error::timeout) return ERROR_WINHTTP_TIMEOUT;
  if (ec == http::error::end_of_stream || ec == http::error::partial_message)
    return ERROR_WINHTTP_CONNECTION_ERROR;
  if (ec.category() == http::make_error_code(http::error::bad_version).category())
    return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
  return ERROR_WINHTTP_CONNECTION_ERROR;
}

std::string Unbracketed(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    return host.substr(1, host.size() - 2);
  return host;
}

http::request<http::empty_body> RequestFor(const HttpTarget& target) {
  http::request<http::empty_body> request;
  http::verb verb = http::string_to_verb(target.verb);
  if (verb == http::verb::unknown)
    request.method_string(target.verb);
  else
    request.method(verb);
  request.target(target.path);
  request.version(target.version);
  const std::uint16_t defaultPort =
      target.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  request.set(http::field::host, target.port == defaultPort
                                     ? target.host
                                     : target.host + ":" + std::to_string(target.port));
  if (!target.agent.empty()) request.set(http::field::user_agent, target.agent);
  if (!target.referrer.empty()) request.set(http::field::referer, target.referrer);
  if (!target.accept.empty()) request.set(http::field::accept, target.accept);
  return request;
}

}  // namespace

struct HttpExchange::Impl {
  net::io_context io{1};
  ssl::context tls{ssl::context::tls_client};
  std::optional<beast::tcp_stream> plain;
  std::optional<beast::ssl_stream<beast::tcp_stream>> secure;
  beast::flat_buffer buffer;
  std::optional<http::response_parser<http::buffer_body>> parser;
  std::array<char, kChunkSize> chunk{};
  std::size_t chunkBegin = 0;
  std::size_t chunkEnd = 0;

  beast::tcp_stream& Tcp() { return secure ? secure->next_layer() : *plain; }

  template <class F>
  beast::error_code OnStream(F f) {
    return secure ? f(*secure) : f(*plain);
  }

  DWORD Connect(const HttpTarget& target) {
    const std::string host = Unbracketed(target.host);
    tcp::resolver resolver(io);
    beast::error_code ec;
    tcp::resolver::results_type endpoints = resolver.resolve(host, std::to_string(target.port), ec);
    if (ec) return ERROR_WINHTTP_NAME_NOT_RESOLVED;
    Tcp().expires_after(kConnectTimeout);
    ec = Complete(io, [&](auto done) { Tcp().async_connect(endpoints, done); });
    if (ec == beast::error::timeout) return ERROR_WINHTTP_TIMEOUT;
    if (ec) return ERROR_WINHTTP_CANNOT_CONNECT;
    Tcp().socket().set_option(tcp::no_delay(true), ec);
    return ERROR_SUCCESS;
  }

  DWORD Handshake(const std::string& host, DWORD securityFlags) {
    if (!ExpectServer(secure->native_handle(), Unbracketed(host))) return ERROR_WINHTTP_INTERNAL_ERROR;
    secure->set_verify_callback([securityFlags](bool preverified, ssl::verify_context& context) {
      return preverified ||
             IgnoresFault(X509_STORE_CTX_get_error(context.native_handle()), securityFlags);
    });
    Tcp().expires_after(kSendTimeout);
    beast::error_code ec = Complete(
        io, [&](auto done) { secure->async_handshake(ssl::stream_base::client, done); });
    if (!ec) return ERROR_SUCCESS;
    if (ec == beast::error::timeout) return ERROR_WINHTTP_TIMEOUT;
    return ec.category() == net::error::get_ssl_category() ? ERROR_WINHTTP_SECURE_FAILURE
                                                            : ERROR_WINHTTP_CONNECTION_ERROR;
  }

  // Reads until body bytes are in the chunk or the body has ended.
  DWORD Fill() {
    while (chunkBegin == chunkEnd && !parser->is_done()) {
      parser->get().body().data = chunk.data();
      parser->get().body().size = chunk.size();
      Tcp().expires_after(kReceiveTimeout);
      beast::error_code ec = OnStream([&](auto& stream) {
        return Complete(io, [&](auto done) { http::async_read_some(stream, buffer, *parser, done); });
      });
      if (ec && ec != http::error::need_buffer) return TransferError(ec);
      chunkBegin = 0;
      chunkEnd = chunk.size() - parser->get().body().size;
    }
    return ERROR_SUCCESS;
  }
};

HttpExchange::HttpExchange() : m_impl(std::make_unique<Impl>()) {}
HttpExchange::~HttpExchange() = default;

DWORD HttpExchange::Send(const HttpTarget& target, DWORD securityFlags) {
  Impl& x = *m_impl;
  if (target.secure) {
    PrepareTlsClient(x.tls);
    x.secure.emplace(x.io, x.tls);
  } else {
    x.plain.emplace(x.io);
  }
  DWORD error = x.Connect(target);
  if (error == ERROR_SUCCESS && target.secure) error = x.Handshake(target.host, securityFlags);
  if (error != ERROR_SUCCESS) return error;
  http::request<http::empty_body> request = RequestFor(target);
  x.Tcp().expires_after(kSendTimeout);
  beast::error_code ec = x.OnStream([&](auto& stream) {
    return Complete(x.io, [&](auto done) { http::async_write(stream, request, done); });
  });
  return ec ? TransferError(ec) : ERROR_SUCCESS;
}

DWORD HttpExchange::ReceiveHeader() {
  Impl& x = *m_impl;
  x.parser.emplace();
  // No limit: boost::none would read as a limit of 0 in Boost 1.74.
  x.parser->body_limit(std::numeric_limits<std::uint64_t>::max());
  x.Tcp().expires_after(kReceiveTimeout);
  beast::error_code ec = x.OnStream([&](auto& stream) {
    return Complete(x.io,
                    [&](auto done) { http::async_read_header(stream, x.buffer, *x.parser, done); });
  });
  return ec ? TransferError(ec) : ERROR_SUCCESS;
}

DWORD HttpExchange::Available(DWORD& count) {
  Impl& x = *m_impl;
  DWORD error = x.Fill();
  count = static_cast<DWORD>(x.chunkEnd - x.chunkBegin);
  return error;
}

DWORD HttpExchange::Read(void* buffer, DWORD size, DWORD& count) {
  Impl& x = *m_impl;
  count = 0;
  DWORD error = x.Fill();
  if (error != ERROR_SUCCESS) return error;
  std::size_t n = std::min<std::size_t>(size, x.chunkEnd - x.chunkBegin);
  if (n > 0) std::memcpy(buffer, x.chunk.data() + x.chunkBegin, n);
  x.chunkBegin += n;
  count = static_cast<DWORD>(n);
  return ERROR_SUCCESS;
}

}  // namespace win32
