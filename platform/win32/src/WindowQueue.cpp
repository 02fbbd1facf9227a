#include "platform/win32/src/WindowQueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/win32/Win32.h"
#include "platform/win32/src/WindowFolder.h"

namespace win32 {

namespace {

// The process, the thread and the moment make a name that no later thread takes again, so an
// entry left by a dead process never leads to a live queue.
std::string NewSocketName() {
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  return "queue-" + std::to_string(getpid()) + "-" + std::to_string(gettid()) + "-" +
         std::to_string(stamp);
}

MSG FromPosted(const PostedMessage& posted) {
  MSG message{};
  message.hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(posted.window));
  message.message = posted.message;
  message.wParam = static_cast<WPARAM>(posted.wParam);
  message.lParam = static_cast<LPARAM>(posted.lParam);
  message.time = posted.time;
  return message;
}

}  // namespace

std::shared_ptr<WindowQueue> WindowQueue::Create() {
  std::string folder = WindowFolder();
  std::string name = NewSocketName();
  int socketFd = BindQueueSocket(folder, name);
  if (socketFd < 0) {
    SetLastError(errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd < 0) {
    close(socketFd);
    RemoveQueueSocket(folder, name);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return std::shared_ptr<WindowQueue>(new WindowQueue(folder, name, socketFd, wakeFd));
}

WindowQueue::WindowQueue(std::string folder, std::string socketName, int socketFd, int wakeFd)
    : m_folder(std::move(folder)),
      m_socketName(std::move(socketName)),
      m_socketFd(socketFd),
      m_wakeFd(wakeFd) {}

WindowQueue::~WindowQueue() {
  close(m_socketFd);
  close(m_wakeFd);
  RemoveQueueSocket(m_folder, m_socketName);
}

void WindowQueue::Push(const MSG& message) {
  {
    // What other processes sent before comes first.
    std::lock_guard lock(m_mutex);
    ReceivePosted();
    m_messages.push_back(message);
  }
  // Only a counter at its limit would refuse, and that one wakes the reader already.
  std::uint64_t one = 1;
  while (write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool WindowQueue::Take(MSG* message) {
  for (;;) {
    {
      std::lock_guard lock(m_mutex);
      ReceivePosted();
      if (!m_messages.empty()) {
        *message = m_messages.front();
        m_messages.pop_front();
        return true;
      }
    }
    pollfd waits[2] = {{m_socketFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    if (poll(waits, 2, -1) < 0 && errno != EINTR) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    // Lowering the counter is all: the queue itself tells what is there.
    std::uint64_t raised;
    while ((waits[1].revents & POLLIN) != 0 && read(m_wakeFd, &raised, sizeof raised) < 0 &&
           errno == EINTR) {
    }
  }
}

void WindowQueue::ReceivePosted() {
  for (;;) {
    PostedMessage posted;
    ssize_t length = recv(m_socketFd, &posted, sizeof posted, MSG_DONTWAIT | MSG_TRUNC);
    if (length < 0) {
      if (errno == EINTR) continue;
      return;  // drained
    }
    if (length != static_cast<ssize_t>(sizeof posted)) {
      std::fprintf(stderr, "win32: dropped a window message of %zd bytes sent to %s (not %zu)\n",
                   length, m_socketName.c_str(), sizeof posted);
      continue;
    }
    m_messages.push_back(FromPosted(posted));
  }
}

}  // namespace win32
