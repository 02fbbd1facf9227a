// The server end of a named pipe. Its name is held by an exclusive flock on <file>.lock, which
// the system drops when the process ends, so a socket file left by a dead server is replaced.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/src/NamedPipe.h"

namespace win32 {

namespace {

constexpr int kBacklog = 8;

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_NOT_ENOUGH_MEMORY;
  }
}

// A folder every account may create pipes in, as in the system's pipe namespace.
bool MakeSharedFolder(const std::string& path) {
  if (mkdir(path.c_str(), 01777) == 0) return chmod(path.c_str(), 01777) == 0;
  return errno == EEXIST;
}

void Answer(int fd, char answer) { send(fd, &answer, 1, MSG_NOSIGNAL); }

// The next whole message, or false when the client has gone.
bool ReceiveMessage(int fd, std::vector<char>* message) {
  ssize_t length;
  do {
    length = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
  } while (length < 0 && errno == EINTR);
  if (length <= 0) return false;
  message->resize(static_cast<std::size_t>(length));
  return recv(fd, message->data(), message->size(), 0) == length;
}

}  // namespace

DWORD NamedPipeServer::Create(const PipeAddress& address, bool everyoneFullAccess,
                              NamedPipeServer** server) {
  std::string root = address.folder.substr(0, address.folder.rfind('/'));
  if (!MakeSharedFolder(root) || !MakeSharedFolder(address.folder)) return ErrorFromErrno(errno);

  std::string lockPath = address.folder + "/" + address.file + ".lock";
  int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd < 0) return ErrorFromErrno(errno);
  fchmod(lockFd, 0666);
  if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(lockFd);
    return error == EWOULDBLOCK ? ERROR_PIPE_BUSY : ErrorFromErrno(error);
  }

  std::string socketPath = address.folder + "/" + address.file;
  unlink(socketPath.c_str());
  int listenFd = BindPipeSocket(address);
  if (listenFd < 0 || chmod(socketPath.c_str(), everyoneFullAccess ? 0666 : 0600) != 0 ||
      listen(listenFd, kBacklog) != 0) {
    DWORD error = ErrorFromErrno(errno);
    if (listenFd >= 0) close(listenFd);
    close(lockFd);
    return error;
  }
  auto* created = new NamedPipeServer(std::move(socketPath), lockFd, listenFd);
  created->m_acceptor = std::thread(&NamedPipeServer::TakeClients, created);
  *server = created;
  return ERROR_SUCCESS;
}

NamedPipeServer::NamedPipeServer(std::string socketPath, int lockFd, int listenFd)
    : m_socketPath(std::move(socketPath)), m_lockFd(lockFd), m_listenFd(listenFd) {}

NamedPipeServer::~NamedPipeServer() {
  // Wakes the acceptor from accept().
  shutdown(m_listenFd, SHUT_RDWR);
  m_acceptor.join();
  close(m_listenFd);
  if (m_clientFd >= 0) close(m_clientFd);
  unlink(m_socketPath.c_str());
  close(m_lockFd);
}

void NamedPipeServer::TakeClients() {
  for (;;) {
    int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    std::lock_guard lock(m_mutex);
    if (m_state != State::kListening) {
      Answer(fd, kPipeBusy);
      close(fd);
      continue;
    }
    m_clientFd = fd;
    m_state = State::kConnected;
    Answer(fd, kClientTaken);
    m_changed.notify_all();
  }
}

DWORD NamedPipeServer::Connect() {
  std::unique_lock lock(m_mutex);
  switch (m_state) {
    case State::kConnected:
      return ERROR_PIPE_CONNECTED;
    case State::kClosing:
      return ERROR_NO_DATA;
    case State::kDisconnected:
      m_state = State::kListening;
      break;
    case State::kListening:
      break;
  }
  m_changed.wait(lock, [this] { return m_state != State::kListening; });
  return ERROR_SUCCESS;
}

DWORD NamedPipeServer::Disconnect() {
  std::lock_guard lock(m_mutex);
  if (m_clientFd >= 0) close(m_clientFd);
  m_clientFd = -1;
  m_rest.clear();
  m_state = State::kDisconnected;
  return ERROR_SUCCESS;
}

DWORD NamedPipeServer::Read(void* buffer, DWORD size, DWORD* read) {
  int fd;
  {
    std::lock_guard lock(m_mutex);
    if (!m_rest.empty()) return Deliver(std::move(m_rest), buffer, size, read);
    switch (m_state) {
      case State::kListening:
        return ERROR_PIPE_LISTENING;
      case State::kDisconnected:
        return ERROR_PIPE_NOT_CONNECTED;
      case State::kClosing:
        return ERROR_BROKEN_PIPE;
      case State::kConnected:
        break;
    }
    fd = m_clientFd;
  }
  std::vector<char> message;
  bool received = ReceiveMessage(fd, &message);
  std::lock_guard lock(m_mutex);
  if (received) return Deliver(std::move(message), buffer, size, read);
  if (m_clientFd == fd) m_state = State::kClosing;
  return ERROR_BROKEN_PIPE;
}

// Called with m_mutex held.
DWORD NamedPipeServer::Deliver(std::vector<char> message, void* buffer, DWORD size, DWORD* read) {
  std::size_t count = std::min<std::size_t>(size, message.size());
  if (count > 0) std::memcpy(buffer, message.data(), count);
  *read = static_cast<DWORD>(count);
  m_rest.assign(message.begin() + static_cast<std::ptrdiff_t>(count), message.end());
  return m_rest.empty() ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

}  // namespace win32
