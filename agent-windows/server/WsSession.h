// A WebSocket stream with its own I/O thread. Every operation on the stream runs on that
// thread, so a read, a write and the control frames a read answers never overlap; callers on
// other threads wait for the result. Connect steps have a time limit, reads and writes none:
// Close ends them.
#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include "agent-windows/server/ServerConnection.h"

template <typename NextLayer>
class WsSession : public ServerConnection {
 public:
  using Stream = boost::beast::websocket::stream<NextLayer>;
  using Results = boost::asio::ip::tcp::resolver::results_type;

  std::string Read() override {
    boost::beast::flat_buffer buffer;
    Throw(Await([&](auto done) { m_ws.async_read(buffer, std::move(done)); }));
    return boost::beast::buffers_to_string(buffer.data());
  }

  std::size_t Write(const std::string& text) override {
    std::size_t written = 0;
    Throw(Await([&](auto done) {
      m_ws.text(true);
      m_ws.async_write(boost::asio::buffer(text),
                       [&written, done = std::move(done)](boost::system::error_code ec, std::size_t n) mutable {
                         written = n;
                         done(ec, n);
                       });
    }));
    return written;
  }

  void Close() override {
    boost::asio::post(m_io, [this] { CloseSocket(); });
  }

 protected:
  template <typename... StreamArgs>
  WsSession(std::chrono::milliseconds connectLimit, StreamArgs&&... streamArgs)
      : m_connectLimit(connectLimit),
        m_work(boost::asio::make_work_guard(m_io)),
        m_resolver(m_io),
        m_ws(m_io, std::forward<StreamArgs>(streamArgs)...),
        m_thread([this] { m_io.run(); }) {}

  // No caller is inside Read or Write any more (they hold the session while they wait), so
  // operations still pending can be dropped with the I/O thread.
  ~WsSession() override {
    boost::asio::post(m_io, [this] {
      CloseSocket();
      m_io.stop();
    });
    m_thread.join();
  }

  Results Resolve(const std::string& host, const std::string& port) {
    Results results;
    Throw(AwaitLimited([&](auto done) {
      m_resolver.async_resolve(host, port,
                               [&results, done = std::move(done)](boost::system::error_code ec, Results found) mutable {
                                 results = std::move(found);
                                 done(ec);
                               });
    }));
    return results;
  }

  // Connects the TCP socket to the endpoints, trying them in order.
  boost::system::error_code ConnectTcp(const Results& endpoints) {
    return AwaitLimited([&](auto done) {
      boost::beast::get_lowest_layer(m_ws).async_connect(endpoints, std::move(done));
    });
  }

  // TCP_NODELAY and SO_KEEPALIVE; false when the socket is not open.
  bool TuneSocket() {
    bool open = false;
    RunOnIo([&] {
      auto& socket = boost::beast::get_lowest_layer(m_ws).socket();
      open = socket.is_open();
      if (!open) return;
      boost::system::error_code ignored;
      socket.set_option(boost::asio::ip::tcp::no_delay(true), ignored);
      socket.set_option(boost::asio::socket_base::keep_alive(true), ignored);
    });
    return open;
  }

  // The client's suggested timeouts and the decorator that sets the upgrade's own fields.
  template <typename Decorator>
  void SetUpgradeOptions(Decorator decorator) {
    RunOnIo([&] {
      m_ws.set_option(boost::beast::websocket::stream_base::timeout::suggested(boost::beast::role_type::client));
      m_ws.set_option(boost::beast::websocket::stream_base::decorator(std::move(decorator)));
    });
  }

  boost::system::error_code Upgrade(const std::string& host, const std::string& target) {
    return AwaitLimited([&](auto done) { m_ws.async_handshake(host, target, std::move(done)); });
  }

  // Waits for an operation started on the I/O thread; past the connect limit it closes the
  // socket, waits for the aborted operation and gives timed_out.
  template <typename Start>
  boost::system::error_code AwaitLimited(Start&& start) {
    return Await(std::forward<Start>(start), true);
  }

  template <typename Body>
  void RunOnIo(Body&& body) {
    std::promise<void> finished;
    boost::asio::post(m_io, [&] {
      body();
      finished.set_value();
    });
    finished.get_future().wait();
  }

  Stream& WebSocket() { return m_ws; }

  static void Throw(const boost::system::error_code& ec) {
    if (ec) throw boost::system::system_error(ec);
  }

 private:
  // The completion handed to an operation: records the error, wakes the caller.
  class Done {
   public:
    explicit Done(std::shared_ptr<std::promise<boost::system::error_code>> result) : m_result(std::move(result)) {}
    template <typename... Rest>
    void operator()(boost::system::error_code ec, Rest&&...) {
      m_result->set_value(ec);
    }

   private:
    std::shared_ptr<std::promise<boost::system::error_code>> m_result;
  };

  // On the I/O thread: ends whatever operation is pending.
  void CloseSocket() {
    boost::system::error_code ignored;
    m_resolver.cancel();
    boost::beast::get_lowest_layer(m_ws).socket().close(ignored);
  }

  template <typename Start>
  boost::system::error_code Await(Start&& start, bool limited = false) {
    auto result = std::make_shared<std::promise<boost::system::error_code>>();
    std::future<boost::system::error_code> future = result->get_future();
    boost::asio::post(m_io, [&start, result] { start(Done(result)); });
    if (limited && future.wait_for(m_connectLimit) == std::future_status::timeout) {
      Close();
      future.wait();
      return boost::asio::error::timed_out;
    }
    return future.get();
  }

  const std::chrono::milliseconds m_connectLimit;
  boost::asio::io_context m_io;
  boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
  boost::asio::ip::tcp::resolver m_resolver;
  Stream m_ws;
  std::thread m_thread;
};
