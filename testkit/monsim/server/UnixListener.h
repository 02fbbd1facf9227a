// A listening Unix-domain socket that serves each accepted connection on a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace monsim {

class UnixListener {
 public:
  // Runs on the connection's own thread; the socket is closed when it returns.
  using Session = std::function<void(int socket)>;

  // Replaces a stale socket file at the path. Throws std::runtime_error when it cannot listen.
  UnixListener(std::string path, Session session);
  // Stops accepting, shuts every open connection down, waits for the sessions to end and
  // removes the socket file.
  ~UnixListener();
  UnixListener(const UnixListener&) = delete;
  UnixListener& operator=(const UnixListener&) = delete;

 private:
  struct Connection {
    int socket;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void ReapFinished();

  const std::string m_path;
  const Session m_session;
  int m_listenSocket = -1;
  std::atomic<bool> m_stopping{false};
  std::mutex m_mutex;
  std::list<Connection> m_connections;
  std::thread m_acceptThread;
};

}  // namespace monsim
