#include "agent-macos/connection/WebSocketConnection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <utility>

#include "agent-macos/connection/ConnectionIo.h"

namespace {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
namespace beast = boost::beast;
namespace websocket = boost::beast::websocket;
using tcp = boost::asio::ip::tcp;

// A control character would end the field, or the request, early.
WebSocketTask::Headers SafeFields(WebSocketTask::Headers headers) {
  for (auto& [name, value] : headers) {
    for (char& c : value) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\t') || byte == 0x7f) c = ' ';
    }
  }
  return headers;
}

}  // namespace

template <class Operation>
void WebSocketConnection::WithStream(Operation&& operation) {
  if (m_tls) {
    operation(*m_tls);
  } else {
    operation(*m_plain);
  }
}

template <class Completion>
void WebSocketConnection::Complete(Completion&& completion) {
  // Its own turn on the strand: the state is whole again when the caller's code runs, and a
  // completion that throws loses nothing else.
  net::post(m_strand, std::forward<Completion>(completion));
}

WebSocketConnection::WebSocketConnection(ServerURL url, WebSocketTask::Headers headers,
                                         WebSocketTaskLimits limits)
    : m_url(std::move(url)),
      m_limits(limits),
      m_strand(net::make_strand(ConnectionIoContext())),
      m_resolver(m_strand),
      m_stepTimer(m_strand) {
  if (m_url.secure) {
    m_tlsContext = std::make_unique<ssl::context>(ssl::context::tls_client);
    // The servers in the field present certificates no client could verify.
    m_tlsContext->set_verify_mode(ssl::verify_none);
    m_tls.emplace(m_strand, *m_tlsContext);
  } else {
    m_plain.emplace(m_strand);
  }
  WithStream([&](auto& ws) {
    ws.read_message_max(m_limits.maxMessageSize);
    ws.set_option(websocket::stream_base::decorator(
        [fields = SafeFields(std::move(headers))](websocket::request_type& request) {
          for (const auto& [name, value] : fields) request.set(name, value);
        }));
  });
}

WebSocketConnection::Socket& WebSocketConnection::TcpSocket() {
  return m_tls ? beast::get_lowest_layer(*m_tls) : beast::get_lowest_layer(*m_plain);
}

void WebSocketConnection::Resume() {
  net::post(m_strand, [self = shared_from_this()] { self->Start(); });
}

void WebSocketConnection::Send(std::string text, WebSocketTask::SendCompletion completion) {
  net::post(m_strand, [self = shared_from_this(), text = std::move(text),
                       completion = std::move(completion)]() mutable {
    self->m_sends.push_back({std::move(text), std::move(completion)});
    self->PumpSends();
  });
}

void WebSocketConnection::Receive(WebSocketTask::ReceiveCompletion completion) {
  net::post(m_strand, [self = shared_from_this(), completion = std::move(completion)]() mutable {
    self->m_receives.push_back(std::move(completion));
    self->PumpReceives();
  });
}

void WebSocketConnection::Cancel(std::uint16_t closeCode) {
  net::post(m_strand, [self = shared_from_this(), closeCode] {
    switch (self->m_phase) {
      case Phase::Idle:
      case Phase::Connecting:
        self->Fail(WebSocketTask::kCancelled);
        return;
      case Phase::Open:
        self->StartClose(closeCode);
        return;
      case Phase::Closing:
      case Phase::Ended:
        return;
    }
  });
}

void WebSocketConnection::Dispatch(std::function<void()> work) {
  net::post(m_strand, std::move(work));
}

void WebSocketConnection::Start() {
  if (m_phase != Phase::Idle) return;
  m_phase = Phase::Connecting;
  m_step = "resolve";
  ArmStepTimer(m_limits.connect);
  m_resolver.async_resolve(
      m_url.host, std::to_string(m_url.port), tcp::resolver::numeric_service,
      [self = shared_from_this()](const ErrorCode& ec, const tcp::resolver::results_type& found) {
        self->OnResolved(ec, found);
      });
}

void WebSocketConnection::OnResolved(const ErrorCode& ec,
                                     const tcp::resolver::results_type& found) {
  if (m_phase != Phase::Connecting) return;
  if (ec) {
    Fail(StepError(ec));
    return;
  }
  m_step = "connect";
  net::async_connect(TcpSocket(), found,
                     [self = shared_from_this()](const ErrorCode& error, const tcp::endpoint&) {
                       self->OnConnected(error);
                     });
}

void WebSocketConnection::OnConnected(const ErrorCode& ec) {
  if (m_phase != Phase::Connecting) return;
  if (ec) {
    Fail(StepError(ec));
    return;
  }
  ErrorCode ignored;
  TcpSocket().set_option(tcp::no_delay(true), ignored);
  if (!m_tls) {
    StartUpgrade();
    return;
  }
  m_step = "TLS handshake";
  ArmStepTimer(m_limits.tlsHandshake);
  SSL* tls = m_tls->next_layer().native_handle();
  // The server name carries host names only: an address literal goes without one.
  if (m_url.hostKind == ServerURL::HostKind::Name &&
      !SSL_set_tlsext_host_name(tls, m_url.host.c_str())) {
    Fail(StepError({static_cast<int>(ERR_get_error()), net::error::get_ssl_category()}));
    return;
  }
  m_tls->next_layer().async_handshake(
      ssl::stream_base::client,
      [self = shared_from_this()](const ErrorCode& error) { self->OnSecured(error); });
}

void WebSocketConnection::OnSecured(const ErrorCode& ec) {
  if (m_phase != Phase::Connecting) return;
  if (ec) {
    Fail(StepError(ec));
    return;
  }
  StartUpgrade();
}

void WebSocketConnection::StartUpgrade() {
  m_step = "upgrade";
  ArmStepTimer(m_limits.upgrade);
  WithStream([&](auto& ws) {
    ws.async_handshake(m_url.Authority(), m_url.target,
                       [self = shared_from_this()](const ErrorCode& error) {
                         self->OnUpgraded(error);
                       });
  });
}

void WebSocketConnection::OnUpgraded(const ErrorCode& ec) {
  if (m_phase != Phase::Connecting) return;
  if (ec) {
    Fail(StepError(ec));
    return;
  }
  DisarmStepTimer();
  m_phase = Phase::Open;
  PumpSends();
  PumpReceives();
}

void WebSocketConnection::StartClose(std::uint16_t closeCode) {
  m_phase = Phase::Closing;
  m_failure = WebSocketTask::kCancelled;
  PumpSends();
  PumpReceives();
  m_step = "close";
  ArmStepTimer(m_limits.close);
  WithStream([&](auto& ws) {
    ws.async_close(websocket::close_reason(closeCode),
                   [self = shared_from_this()](const ErrorCode&) {
                     if (self->m_phase == Phase::Closing) self->Finish();
                   });
  });
}

void WebSocketConnection::PumpSends() {
  if (m_writing || m_sends.empty()) return;
  if (m_failure) {
    // Only once nothing is on the wire, so sends complete in call order.
    for (PendingSend& send : std::exchange(m_sends, {}))
      Complete([completion = std::move(send.completion), error = m_failure] { completion(error); });
    return;
  }
  if (m_phase != Phase::Open) return;
  m_writing = true;
  WithStream([&](auto& ws) {
    ws.text(true);
    ws.async_write(net::buffer(m_sends.front().text),
                   [self = shared_from_this()](const ErrorCode& ec, std::size_t) {
                     self->OnWritten(ec);
                   });
  });
}

void WebSocketConnection::OnWritten(const ErrorCode& ec) {
  m_writing = false;
  PendingSend sent = std::move(m_sends.front());
  m_sends.pop_front();
  std::optional<std::string> error;
  if (ec) error = m_failure ? *m_failure : ec.message();
  Complete([completion = std::move(sent.completion), error] { completion(error); });
  if (ec && !m_failure) {
    Fail(ec.message());
    return;
  }
  PumpSends();
}

void WebSocketConnection::PumpReceives() {
  if (m_receives.empty()) return;
  if (m_failure) {
    // A read still in flight has nobody left to tell.
    for (WebSocketTask::ReceiveCompletion& completion : std::exchange(m_receives, {}))
      Complete([completion = std::move(completion), error = m_failure] {
        completion(WebSocketTask::ReceiveResult{error, false, {}});
      });
    return;
  }
  if (m_reading || m_phase != Phase::Open) return;
  m_reading = true;
  WithStream([&](auto& ws) {
    ws.async_read(m_readBuffer, [self = shared_from_this()](const ErrorCode& ec, std::size_t) {
      self->OnRead(ec);
    });
  });
}

void WebSocketConnection::OnRead(const ErrorCode& ec) {
  m_reading = false;
  if (m_failure) return;
  if (ec) {
    Fail(ec.message());
    return;
  }
  WebSocketTask::ReceiveResult result;
  WithStream([&](auto& ws) { result.text = ws.got_text(); });
  result.data = beast::buffers_to_string(m_readBuffer.data());
  m_readBuffer.consume(m_readBuffer.size());
  Complete([completion = std::move(m_receives.front()), result = std::move(result)] {
    completion(result);
  });
  m_receives.pop_front();
  PumpReceives();
}

void WebSocketConnection::ArmStepTimer(std::chrono::milliseconds limit) {
  const std::uint64_t step = ++m_timedStep;
  m_stepTimer.expires_after(limit);
  m_stepTimer.async_wait([self = shared_from_this(), step](const ErrorCode&) {
    // A timer cancelled just as it fired still reports success: the step tells.
    if (step == self->m_timedStep) self->OnStepTimeout();
  });
}

void WebSocketConnection::DisarmStepTimer() {
  ++m_timedStep;
  m_stepTimer.cancel();
}

void WebSocketConnection::OnStepTimeout() {
  if (m_phase == Phase::Closing) {
    // The server never answered the close: the socket goes without it.
    Finish();
    return;
  }
  Fail(StepError(beast::error::timeout));
}

std::string WebSocketConnection::StepError(const ErrorCode& ec) const {
  return std::string(m_step) + ": " + ec.message();
}

void WebSocketConnection::Fail(std::string error) {
  m_failure = std::move(error);
  PumpSends();
  PumpReceives();
  Finish();
}

void WebSocketConnection::Finish() {
  m_phase = Phase::Ended;
  DisarmStepTimer();
  m_resolver.cancel();
  ErrorCode ignored;
  TcpSocket().close(ignored);
  {
    std::lock_guard lock(m_endedMutex);
    m_ended = true;
  }
  m_endedChanged.notify_all();
}

bool WebSocketConnection::WaitUntilEnded(std::chrono::milliseconds limit) {
  std::unique_lock lock(m_endedMutex);
  return m_endedChanged.wait_for(lock, limit, [this] { return m_ended; });
}

