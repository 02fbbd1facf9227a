#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cerrno>
#include <cstring>
#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Services.h"

namespace win32 {
namespace {

// Controls stalled half-way must not hold the dispatcher up.
constexpr int kReceiveTimeoutMs = 2000;

// Abstract socket names: no file to clean up, no length limit from the C: folder's path.
socklen_t AbstractAddress(const std::string& name, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  size_t length = std::min(name.size(), sizeof address->sun_path - 1);
  std::memcpy(address->sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  int result;
  do {
    result = poll(&entry, 1, timeoutMs);
  } while (result < 0 && errno == EINTR);
  return result > 0;
}

// All of it, or false.
bool ReceiveAll(int fd, void* data, size_t size, int timeoutMs) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    if (!WaitReadable(fd, timeoutMs)) return false;
    ssize_t n = recv(fd, bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int ListenForServiceControls(std::string* address, DWORD* error) {
  static std::atomic<unsigned> counter{0};
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return -1;
  }
  std::string name = "tarvik-service-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  sockaddr_un local;
  socklen_t length = AbstractAddress(name, &local);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), length) != 0 || listen(fd, 16) != 0) {
    *error = ERROR_ACCESS_DENIED;
    close(fd);
    return -1;
  }
  *address = name;
  return fd;
}

int ReceiveServiceControl(int listener, DWORD* control) {
  int controller = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (controller < 0) return -1;
  if (!ReceiveAll(controller, control, sizeof *control, kReceiveTimeoutMs)) {
    close(controller);
    return -1;
  }
  return controller;
}

void AcknowledgeServiceControl(int controller) {
  char done = 1;
  // MSG_NOSIGNAL: a controller that gave up must not end the service with SIGPIPE.
  send(controller, &done, 1, MSG_NOSIGNAL);
  close(controller);
}

DWORD SendServiceControl(const std::string& address, DWORD control, DWORD timeoutMs) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return ERROR_NOT_ENOUGH_MEMORY;
  sockaddr_un remote;
  socklen_t length = AbstractAddress(address, &remote);
  DWORD result = ERROR_SUCCESS;
  char done = 0;
  if (connect(fd, reinterpret_cast<sockaddr*>(&remote), length) != 0) {
    result = ERROR_SERVICE_NOT_ACTIVE;
  } else if (send(fd, &control, sizeof control, MSG_NOSIGNAL) != sizeof control ||
             !ReceiveAll(fd, &done, 1, static_cast<int>(timeoutMs))) {
    result = ERROR_SERVICE_REQUEST_TIMEOUT;
  }
  close(fd);
  return result;
}

}  // namespace win32
