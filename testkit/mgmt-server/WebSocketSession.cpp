#include "testkit/mgmt-server/WebSocketSession.h"

#include <boost/asio/error.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <chrono>
#include <deque>

#include "testkit/mgmt-server/ServerLog.h"

namespace testkit::mgmt {
namespace {

namespace beast = boost::beast;
namespace websocket = boost::beast::websocket;
namespace net = boost::asio;

template <class Stream>
class WebSocketSession : public WebSocketConnection,
                         public std::enable_shared_from_this<WebSocketSession<Stream>> {
 public:
  WebSocketSession(std::shared_ptr<ServerContext> context, Stream stream)
      : m_context(std::move(context)), m_ws(std::move(stream)) {}

  void Start(Request request, MgmtUpgrade upgrade) {
    m_request = std::move(request);
    m_upgrade = std::move(upgrade);
    m_context->connections.Add(this->shared_from_this());

    // The agent never pings and expects no ping: no idle limit and no keep-alive pings.
    websocket::stream_base::timeout timeouts{};
    timeouts.handshake_timeout = std::chrono::seconds(30);
    timeouts.idle_timeout = websocket::stream_base::none();
    timeouts.keep_alive_pings = false;
    m_ws.set_option(timeouts);

    m_ws.async_accept(m_request, [self = this->shared_from_this()](beast::error_code ec) {
      self->OnAccepted(ec);
    });
  }

  void Abort() override {
    m_aborted = true;
    beast::error_code ignored;
    beast::get_lowest_layer(m_ws).socket().close(ignored);
  }

  void Send(std::shared_ptr<const Outgoing> message) override {
    m_queue.push_back(std::move(message));
    if (m_queue.size() == 1) WriteNext();
  }

 private:
  void OnAccepted(beast::error_code ec) {
    if (ec) {
      if (!m_aborted)
        LogLine("WebSocket upgrade of " + m_upgrade.path + " failed: " + ec.message());
      Abort();
      m_context->connections.Remove(this);
      return;
    }
    if (m_aborted) {
      // Dropped while the answer was on its way: the client saw the upgrade, but it is not open.
      m_context->recorder->AddUpgradeNotOpen(std::move(m_upgrade));
      m_context->connections.Remove(this);
      return;
    }
    const std::optional<std::size_t> index =
        m_context->connections.Opened(this->shared_from_this(), std::move(m_upgrade));
    if (!index) return;
    m_upgradeIndex = *index;
    Read();
  }

  void Read() {
    m_ws.async_read(m_in, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
      self->OnRead(ec);
    });
  }

  void OnRead(beast::error_code ec) {
    if (ec) {
      // The Windows agent never sends a close frame: a lost TCP connection is its goodbye.
      if (!m_aborted) LogLine("WebSocket connection ended: " + ec.message());
      Close();
      // After the close counts, so whoever waited for the code sees the connection closed too.
      if (ec == websocket::error::closed) RecordCloseCode();
      return;
    }
    m_context->recorder->AddMessage({m_ws.got_text(), beast::buffers_to_string(m_in.data()), m_upgradeIndex});
    m_in.consume(m_in.size());
    Read();
  }

  void RecordCloseCode() {
    const std::uint16_t code = m_ws.reason().code;
    m_context->recorder->AddCloseCode(code == websocket::close_code::none
                                          ? std::uint16_t{websocket::close_code::no_status}
                                          : code);
  }

  void WriteNext() {
    const Outgoing& message = *m_queue.front();
    auto onWritten = [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
      self->OnWritten(ec);
    };
    if (m_part == 0) {
      if (message.text) {
        m_ws.text(true);
      } else {
        m_ws.binary(true);
      }
    }
    if (message.parts.size() <= 1) {
      static const std::string empty;
      const std::string& data = message.parts.empty() ? empty : message.parts.front();
      m_ws.async_write(net::buffer(data), std::move(onWritten));
      return;
    }
    bool last = m_part + 1 == message.parts.size();
    m_ws.async_write_some(last, net::buffer(message.parts[m_part]), std::move(onWritten));
  }

  void OnWritten(beast::error_code ec) {
    if (ec) {
      if (!m_aborted) LogLine("WebSocket write failed: " + ec.message());
      m_queue.clear();
      Close();
      return;
    }
    const Outgoing& message = *m_queue.front();
    if (message.parts.size() > 1 && ++m_part < message.parts.size()) {
      WriteNext();
      return;
    }
    m_part = 0;
    m_queue.pop_front();
    if (!m_queue.empty()) WriteNext();
  }

  void Close() {
    Abort();
    m_context->connections.Closed(this);
  }

  std::shared_ptr<ServerContext> m_context;
  websocket::stream<Stream> m_ws;
  Request m_request;
  MgmtUpgrade m_upgrade;
  std::size_t m_upgradeIndex = 0;  // of m_upgrade, once recorded
  beast::flat_buffer m_in;
  std::deque<std::shared_ptr<const Outgoing>> m_queue;
  std::size_t m_part = 0;  // the next frame of a message sent in frames
  bool m_aborted = false;
};

template <class Stream>
void Start(const std::shared_ptr<ServerContext>& context, Stream stream, Request request,
           MgmtUpgrade upgrade) {
  auto session = std::make_shared<WebSocketSession<Stream>>(context, std::move(stream));
  session->Start(std::move(request), std::move(upgrade));
}

}  // namespace

void StartWebSocket(const std::shared_ptr<ServerContext>& context, PlainStream stream,
                    Request request, MgmtUpgrade upgrade) {
  Start(context, std::move(stream), std::move(request), std::move(upgrade));
}

void StartWebSocket(const std::shared_ptr<ServerContext>& context, TlsStream stream,
                    Request request, MgmtUpgrade upgrade) {
  Start(context, std::move(stream), std::move(request), std::move(upgrade));
}

}  // namespace testkit::mgmt
