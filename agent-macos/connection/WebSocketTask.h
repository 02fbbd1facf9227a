// One WebSocket connection of the agent, shaped like the platform's URL session WebSocket task:
// made for a URL, started by Resume, one text message per Send, one message per Receive, ended
// by Cancel. Every server certificate is accepted without validation, as the servers in the
// field expect.
//
// Every member may be called from any thread at any time. Completions never run inside the
// call that hands them over; they run one at a time, in the order their results arrive, on the
// task's own serial executor (the session's delegate queue on the platform), and Dispatch runs
// the caller's own work there too. A completion must not block on another task's I/O: all
// tasks share one I/O thread.
//
// Work in flight keeps the connection alive, so the last reference may be dropped at any time;
// a connection whose task is dropped without Cancel ends when the server ends it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "agent-macos/connection/ServerURL.h"

class WebSocketConnection;

struct WebSocketTaskLimits {
  // Resolving the host and connecting, each TLS handshake, the upgrade, and the close that
  // Cancel starts: a server that accepts and says nothing ends the task after this long.
  std::chrono::milliseconds connect = std::chrono::seconds(10);
  std::chrono::milliseconds tlsHandshake = std::chrono::seconds(10);
  std::chrono::milliseconds upgrade = std::chrono::seconds(10);
  std::chrono::milliseconds close = std::chrono::seconds(10);
  // A larger message from the server fails the receive and ends the connection.
  std::size_t maxMessageSize = 4 * 1024 * 1024;
};

class WebSocketTask {
 public:
  // Fields added to the upgrade request, in order. A control character in a value (a line
  // break in the computer's name) is sent as a space, so it cannot end the field.
  using Headers = std::vector<std::pair<std::string, std::string>>;

  struct ReceiveResult {
    std::optional<std::string> error;  // set: no message, the connection has ended
    bool text = false;                 // a text message, else a data (binary) one
    std::string data;                  // the message's text or bytes
  };
  // Empty on success, else the error's description.
  using SendCompletion = std::function<void(const std::optional<std::string>& error)>;
  using ReceiveCompletion = std::function<void(const ReceiveResult& result)>;

  // The error of every send and receive after Cancel, and of those it cut short.
  static constexpr const char* kCancelled = "cancelled";

  static std::shared_ptr<WebSocketTask> Create(ServerURL url, Headers headers,
                                               WebSocketTaskLimits limits = {});
  WebSocketTask(const WebSocketTask&) = delete;
  WebSocketTask& operator=(const WebSocketTask&) = delete;

  const ServerURL& URL() const { return m_url; }

  // Resolves, connects, does the TLS handshake for "wss" and upgrades to the URL's target. A
  // failure of any step is the error of the pending receive and of every send. Later calls,
  // and calls after Cancel, do nothing.
  void Resume();

  // Sends go out whole, one at a time, in call order; those made before the upgrade completes
  // wait for it.
  void Send(std::string text, SendCompletion completion);
  // The next message, or the error that ended the connection (a failed connect or upgrade, a
  // drop, the server's close, an oversized message, Cancel). Receives queue like sends.
  void Receive(ReceiveCompletion completion);

  // Closes with closeCode and no reason when open, or abandons the connect in progress; the
  // pending receives and the sends not yet written complete with kCancelled. Later calls do
  // nothing.
  void Cancel(std::uint16_t closeCode);

  // Runs work on the task's executor, in turn with its completions.
  void Dispatch(std::function<void()> work);

  // Blocks until the connection has ended (after Cancel: its close is done, failed or timed
  // out); false when the limit passed first. Never from a completion: they share the I/O thread.
  bool WaitUntilEnded(std::chrono::milliseconds limit);

 private:
  WebSocketTask(ServerURL url, std::shared_ptr<WebSocketConnection> connection);

  const ServerURL m_url;
  const std::shared_ptr<WebSocketConnection> m_connection;
};
