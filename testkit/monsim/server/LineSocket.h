// Newline-terminated text lines over a stream socket, for the control socket's two ends.
#pragma once

#include <cstddef>
#include <string>

namespace monsim {

class LineSocket {
 public:
  // A line longer than this ends the conversation rather than the memory.
  static constexpr std::size_t kMaxLine = 1 << 20;

  explicit LineSocket(int socket) : m_socket(socket) {}
  // The next line without its newline; false at the end of the stream or an overlong line.
  bool Receive(std::string& line);
  bool Send(const std::string& line);

 private:
  int m_socket;
  std::string m_pending;
};

}  // namespace monsim
