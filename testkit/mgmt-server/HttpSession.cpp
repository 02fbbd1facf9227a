#include "testkit/mgmt-server/HttpSession.h"

#include <boost/asio/ssl/stream_base.hpp>
#include <boost/beast/core/detect_ssl.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <cctype>
#include <optional>
#include <type_traits>

#include "testkit/mgmt-server/PackageQuery.h"
#include "testkit/mgmt-server/ServerLog.h"
#include "testkit/mgmt-server/WebSocketSession.h"

namespace testkit::mgmt {
namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// Large enough for any upgrade or download request; a GET carries no body.
constexpr std::uint32_t kHeaderLimit = 16 * 1024;
constexpr std::uint64_t kBodyLimit = 64 * 1024;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

MgmtUpgrade UpgradeOf(const Request& request) {
  MgmtUpgrade upgrade;
  upgrade.path = std::string(request.target());
  for (const auto& field : request) {
    std::string name = Lower(std::string(field.name_string()));
    std::string value(field.value());
    auto [it, inserted] = upgrade.headers.emplace(name, value);
    if (!inserted) it->second += ", " + value;  // repeated fields read as one list
  }
  return upgrade;
}

template <class Stream>
class HttpSession : public Connection, public std::enable_shared_from_this<HttpSession<Stream>> {
 public:
  HttpSession(std::shared_ptr<ServerContext> context, Stream stream, beast::flat_buffer buffer)
      : m_context(std::move(context)), m_stream(std::move(stream)), m_buffer(std::move(buffer)) {}

  void Start() {
    m_context->connections.Add(this->shared_from_this());
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      m_stream.async_handshake(
          net::ssl::stream_base::server, m_buffer.data(),
          [self = this->shared_from_this()](beast::error_code ec, std::size_t used) {
            self->OnHandshake(ec, used);
          });
    } else {
      Read();
    }
  }

  void Abort() override {
    m_aborted = true;
    beast::error_code ignored;
    beast::get_lowest_layer(m_stream).socket().close(ignored);
  }

 private:
  void OnHandshake(beast::error_code ec, std::size_t used) {
    if (ec) {
      Fail("TLS handshake failed: " + ec.message());
      return;
    }
    m_buffer.consume(used);
    Read();
  }

  void Read() {
    m_parser.emplace();
    m_parser->header_limit(kHeaderLimit);
    m_parser->body_limit(kBodyLimit);
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                       self->OnRequest(ec);
                     });
  }

  void OnRequest(beast::error_code ec) {
    if (ec) {
      Fail("no valid HTTP request: " + ec.message());
      return;
    }
    Request request = m_parser->release();
    if (beast::websocket::is_upgrade(request)) {
      MgmtUpgrade upgrade = UpgradeOf(request);
      if (m_context->recorder->RefuseUpgrades()) {
        m_context->recorder->AddUpgradeNotOpen(std::move(upgrade));
        Answer(request, http::status::forbidden, "refused\n");
        return;
      }
      // The WebSocket session takes the stream over; this session is done.
      m_context->connections.Remove(this);
      StartWebSocket(m_context, std::move(m_stream), std::move(request), std::move(upgrade));
      return;
    }
    std::string target(request.target());
    std::optional<std::string> name = PackageNameFromTarget(target);
    if (request.method() != http::verb::get || !name) {
      LogLine("unexpected request " + std::string(request.method_string()) + " " + target);
      Answer(request, http::status::not_found, "not found\n");
      return;
    }
    m_context->recorder->AddPackageRequest(target);
    std::optional<std::string> bytes = m_context->recorder->Package(*name);
    if (!bytes) {
      LogLine("package not served: " + *name);
      Answer(request, http::status::not_found, "no such package\n");
      return;
    }
    Answer(request, http::status::ok, std::move(*bytes), "application/octet-stream");
  }

  void Answer(const Request& request, http::status status, std::string body,
              const char* contentType = "text/plain") {
    m_response.emplace(status, request.version());
    m_response->set(http::field::server, "mgmt-server");
    m_response->set(http::field::content_type, contentType);
    m_response->keep_alive(false);
    m_response->body() = std::move(body);
    m_response->prepare_payload();
    http::async_write(m_stream, *m_response,
                      [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                        if (ec && !self->m_aborted) LogLine("answer not sent: " + ec.message());
                        self->Finish();
                      });
  }

  void Fail(const std::string& why) {
    if (!m_aborted) LogLine(why);
    Finish();
  }

  void Finish() {
    // Shut the sending side first, so the answer is not cut off by a reset.
    beast::error_code ignored;
    beast::get_lowest_layer(m_stream).socket().shutdown(tcp::socket::shutdown_send, ignored);
    Abort();
    m_context->connections.Remove(this);
  }

  std::shared_ptr<ServerContext> m_context;
  Stream m_stream;
  beast::flat_buffer m_buffer;
  std::optional<http::request_parser<http::string_body>> m_parser;
  std::optional<http::response<http::string_body>> m_response;
  bool m_aborted = false;
};

// Looks at the first bytes to tell a TLS client from a plain one.
class Detector : public Connection, public std::enable_shared_from_this<Detector> {
 public:
  Detector(std::shared_ptr<ServerContext> context, tcp::socket socket)
      : m_context(std::move(context)), m_stream(std::move(socket)) {}

  void Start() {
    m_context->connections.Add(shared_from_this());
    beast::async_detect_ssl(
        m_stream, m_buffer,
        [self = shared_from_this()](beast::error_code ec, bool tls) { self->OnDetected(ec, tls); });
  }

  void Abort() override {
    m_aborted = true;
    beast::error_code ignored;
    m_stream.socket().close(ignored);
  }

 private:
  void OnDetected(beast::error_code ec, bool tls) {
    m_context->connections.Remove(this);
    if (ec) {
      if (!m_aborted && ec != net::error::eof)
        LogLine("connection failed before a request: " + ec.message());
      Abort();
      return;
    }
    if (tls) {
      m_context->recorder->AddTlsHandshake();
      std::make_shared<HttpSession<TlsStream>>(
          m_context, TlsStream(std::move(m_stream), m_context->tls), std::move(m_buffer))
          ->Start();
    } else if (m_context->tlsOnly) {
      LogLine("a client spoke plain text to the TLS listener; closed");
      Abort();
    } else {
      std::make_shared<HttpSession<PlainStream>>(m_context, std::move(m_stream),
                                                 std::move(m_buffer))
          ->Start();
    }
  }

  std::shared_ptr<ServerContext> m_context;
  PlainStream m_stream;
  beast::flat_buffer m_buffer;
  bool m_aborted = false;
};

class SilentConnection : public Connection {
 public:
  explicit SilentConnection(tcp::socket socket) : m_socket(std::move(socket)) {}
  void Abort() override {
    beast::error_code ignored;
    m_socket.close(ignored);
  }

 private:
  tcp::socket m_socket;
};

}  // namespace

void StartHttpSession(const std::shared_ptr<ServerContext>& context, tcp::socket socket) {
  std::make_shared<Detector>(context, std::move(socket))->Start();
}

void HoldSilently(const std::shared_ptr<ServerContext>& context, tcp::socket socket) {
  context->connections.Add(std::make_shared<SilentConnection>(std::move(socket)));
}

}  // namespace testkit::mgmt
