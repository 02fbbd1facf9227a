// Turns the server's WebSocket messages into whole JSON texts: a text may be split over
// several messages, and several texts may share one message, each followed by a line feed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Strict JSON: one document, no comments.
bool IsCompleteJson(std::string_view text);

class ReceiveAccumulator {
 public:
  // Past this, a text that never completes is dropped rather than hold back every later one.
  static constexpr std::size_t kLimit = 1024 * 1024;

  // Appends one received message; returns the complete texts it finished, in order.
  std::vector<std::string> Append(std::string_view message);
  const std::string& Pending() const { return m_pending; }

 private:
  std::string m_pending;
};
