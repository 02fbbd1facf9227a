#include "testkit/monsim/server/UnixListener.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace monsim {

UnixListener::UnixListener(std::string path, Session session) : m_path(std::move(path)), m_session(std::move(session)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (m_path.empty() || m_path.size() >= sizeof address.sun_path)
    throw std::runtime_error("socket path \"" + m_path + "\" is empty or too long");
  std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
  m_listenSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenSocket < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  ::unlink(m_path.c_str());
  if (::bind(m_listenSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listenSocket, 16) != 0) {
    std::string reason = std::strerror(errno);
    ::close(m_listenSocket);
    throw std::runtime_error("cannot listen on \"" + m_path + "\": " + reason);
  }
  m_acceptThread = std::thread([this] { AcceptLoop(); });
}

UnixListener::~UnixListener() {
  m_stopping = true;
  ::shutdown(m_listenSocket, SHUT_RDWR);  // wakes accept()
  m_acceptThread.join();
  ::close(m_listenSocket);
  {
    std::lock_guard lock(m_mutex);
    for (Connection& c : m_connections) ::shutdown(c.socket, SHUT_RDWR);
  }
  for (Connection& c : m_connections) c.thread.join();
  ::unlink(m_path.c_str());
}

void UnixListener::AcceptLoop() {
  while (!m_stopping) {
    int socket = ::accept4(m_listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    std::lock_guard lock(m_mutex);
    ReapFinished();
    if (m_stopping) {
      ::close(socket);
      return;
    }
    Connection& c = m_connections.emplace_back();
    c.socket = socket;
    c.thread = std::thread([this, &c] {
      m_session(c.socket);
      std::lock_guard lock(m_mutex);
      ::close(c.socket);
      c.socket = -1;
      c.done = true;
    });
  }
}

// The caller holds m_mutex.
void UnixListener::ReapFinished() {
  for (auto it = m_connections.begin(); it != m_connections.end();) {
    if (it->done) {
      it->thread.join();
      it = m_connections.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace monsim
