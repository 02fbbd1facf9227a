// One WebSocket connection to the management server, as the worker threads use it.
#pragma once

#include <cstddef>
#include <string>

class ServerConnection {
 public:
  virtual ~ServerConnection() = default;

  // One whole message, whatever its type. Throws boost::system::system_error when the
  // connection fails or is closed.
  virtual std::string Read() = 0;
  // Writes the text as one text message and returns the bytes written; throws as Read.
  virtual std::size_t Write(const std::string& text) = 0;
  // Closes the socket from any thread, so that a blocked Read or Write returns.
  virtual void Close() = 0;
};
