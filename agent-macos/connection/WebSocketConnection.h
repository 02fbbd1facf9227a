// The connection behind a WebSocketTask. Its public members post to the connection's strand,
// where all of its state lives and every handler and completion runs; handlers hold the
// connection, so it lasts while anything is in flight.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "agent-macos/connection/WebSocketTask.h"

class WebSocketConnection : public std::enable_shared_from_this<WebSocketConnection> {
 public:
  WebSocketConnection(ServerURL url, WebSocketTask::Headers headers,
                      WebSocketTaskLimits limits);

  void Resume();
  void Send(std::string text, WebSocketTask::SendCompletion completion);
  void Receive(WebSocketTask::ReceiveCompletion completion);
  void Cancel(std::uint16_t closeCode);
  void Dispatch(std::function<void()> work);
  bool WaitUntilEnded(std::chrono::milliseconds limit);

 private:
  using Strand = boost::asio::strand<boost::asio::io_context::executor_type>;
  using Socket = boost::asio::ip::tcp::socket;
  using PlainWebSocket = boost::beast::websocket::stream<Socket>;
  using TlsWebSocket = boost::beast::websocket::stream<boost::asio::ssl::stream<Socket>>;
  using ErrorCode = boost::system::error_code;

  // Ended follows Idle or Connecting directly on a failure or Cancel.
  enum class Phase { Idle, Connecting, Open, Closing, Ended };

  struct PendingSend {
    std::string text;
    WebSocketTask::SendCompletion completion;
  };

  template <class Operation>
  void WithStream(Operation&& operation);
  Socket& TcpSocket();

  void Start();
  void OnResolved(const ErrorCode& ec, const boost::asio::ip::tcp::resolver::results_type& found);
  void OnConnected(const ErrorCode& ec);
  void OnSecured(const ErrorCode& ec);
  void StartUpgrade();
  void OnUpgraded(const ErrorCode& ec);
  void StartClose(std::uint16_t closeCode);

  // Starts the next write or read when one may go, or fails what waits once nothing can pass.
  void PumpSends();
  void PumpReceives();
  void OnWritten(const ErrorCode& ec);
  void OnRead(const ErrorCode& ec);

  // Each connect step and the close run against a timer; a step's end disarms it.
  void ArmStepTimer(std::chrono::milliseconds limit);
  void DisarmStepTimer();
  void OnStepTimeout();
  std::string StepError(const ErrorCode& ec) const;

  // Nothing passes any more: what waits gets the error, the socket closes.
  void Fail(std::string error);
  void Finish();

  template <class Completion>
  void Complete(Completion&& completion);

  const ServerURL m_url;
  const WebSocketTaskLimits m_limits;
  Strand m_strand;
  boost::asio::ip::tcp::resolver m_resolver;
  boost::asio::steady_timer m_stepTimer;
  std::uint64_t m_timedStep = 0;  // the step the armed timer belongs to
  const char* m_step = "";        // what is in progress, for its error's text
  std::unique_ptr<boost::asio::ssl::context> m_tlsContext;  // wss only; outlives the stream
  std::optional<PlainWebSocket> m_plain;
  std::optional<TlsWebSocket> m_tls;
  boost::beast::flat_buffer m_readBuffer;

  Phase m_phase = Phase::Idle;
  std::optional<std::string> m_failure;  // set: no message passes any more, and why
  std::deque<PendingSend> m_sends;       // the front is on the wire while m_writing
  std::deque<WebSocketTask::ReceiveCompletion> m_receives;
  bool m_writing = false;
  bool m_reading = false;

  // Ended as other threads see it, for WaitUntilEnded.
  std::mutex m_endedMutex;
  std::condition_variable m_endedChanged;
  bool m_ended = false;
};
