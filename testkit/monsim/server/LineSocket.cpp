#include "testkit/monsim/server/LineSocket.h"

#include <sys/socket.h>

#include <cerrno>

namespace monsim {

bool LineSocket::Receive(std::string& line) {
  for (;;) {
    std::size_t end = m_pending.find('\n');
    if (end != std::string::npos) {
      line = m_pending.substr(0, end);
      m_pending.erase(0, end + 1);
      return true;
    }
    if (m_pending.size() > kMaxLine) return false;
    char buffer[4096];
    ssize_t n = ::recv(m_socket, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    m_pending.append(buffer, static_cast<std::size_t>(n));
  }
}

bool LineSocket::Send(const std::string& line) {
  std::string text = line + "\n";
  std::size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = ::send(m_socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace monsim
