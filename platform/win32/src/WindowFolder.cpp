#include "platform/win32/src/WindowFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "platform/win32/Win32.h"
#include "platform/win32/src/ObjectNames.h"

namespace win32 {

namespace {

constexpr std::string_view kWindowPrefix = "window-";
constexpr std::string_view kQueuePrefix = "queue-";
constexpr std::size_t kHandleDigits = 16;
// How long a post waits for a thread of another process to drain a full queue.
constexpr time_t kFullQueueSeconds = 2;

// A folder every account may create names in, as in the system's object namespace.
bool MakeSharedFolder(const std::string& path) {
  if (mkdir(path.c_str(), 01777) == 0) return chmod(path.c_str(), 01777) == 0;
  return errno == EEXIST;
}

std::string EntryName(HWND window) {
  char name[kWindowPrefix.size() + kHandleDigits + 1];
  std::snprintf(name, sizeof name, "window-%016" PRIxPTR, reinterpret_cast<std::uintptr_t>(window));
  return name;
}

// The window an entry name stands for, or null for any other name.
HWND WindowOfEntry(std::string_view name) {
  if (!name.starts_with(kWindowPrefix) || name.size() != kWindowPrefix.size() + kHandleDigits)
    return nullptr;
  std::uintptr_t value = 0;
  for (char c : name.substr(kWindowPrefix.size())) {
    int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (digit < 0) return nullptr;
    value = value << 4 | static_cast<std::uintptr_t>(digit);
  }
  return reinterpret_cast<HWND>(value);
}

// The folder opened for *at calls and for socket addresses, closed with the object.
class OpenFolder {
 public:
  explicit OpenFolder(const std::string& path)
      : m_fd(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
  ~OpenFolder() {
    if (m_fd >= 0) close(m_fd);
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  int Fd() const { return m_fd; }

  // Reached through /proc/self/fd, the address stays within sun_path however deep the folder.
  sockaddr_un Address(const std::string& name) const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = "/proc/self/fd/" + std::to_string(m_fd) + "/" + name;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return address;
  }

 private:
  const int m_fd;
};

// An entry whose socket nobody serves: its process has gone. Only a queue socket of the folder
// goes with it, whatever the link says.
void RemoveDeadEntry(const OpenFolder& folder, const std::string& entry, bool socketToo) {
  char target[256];
  ssize_t length = readlinkat(folder.Fd(), entry.c_str(), target, sizeof target - 1);
  unlinkat(folder.Fd(), entry.c_str(), 0);
  if (!socketToo || length <= 0) return;
  std::string_view queue(target, static_cast<std::size_t>(length));
  if (queue.starts_with(kQueuePrefix) && queue.find('/') == std::string_view::npos)
    unlinkat(folder.Fd(), std::string(queue).c_str(), 0);
}

}  // namespace

std::string WindowFolder() { return KernelObjectsRoot() + "/Windows"; }

int BindQueueSocket(const std::string& folder, const std::string& name) {
  if (!MakeSharedFolder(folder.substr(0, folder.rfind('/'))) || !MakeSharedFolder(folder))
    return -1;
  OpenFolder opened(folder);
  if (opened.Fd() < 0) return -1;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address = opened.Address(name);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

void RemoveQueueSocket(const std::string& folder, const std::string& name) {
  unlink((folder + "/" + name).c_str());
}

DWORD AddWindowEntry(const std::string& folder, HWND window, const std::string& queueName) {
  // Any entry of this name is stale: its process had our process id.
  std::string entry = folder + "/" + EntryName(window);
  unlink(entry.c_str());
  if (symlink(queueName.c_str(), entry.c_str()) == 0) return ERROR_SUCCESS;
  return errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_NOT_ENOUGH_MEMORY;
}

void RemoveWindowEntry(const std::string& folder, HWND window) {
  unlink((folder + "/" + EntryName(window)).c_str());
}

DWORD SendToWindow(const std::string& folder, const PostedMessage& message) {
  OpenFolder opened(folder);
  if (opened.Fd() < 0) return ERROR_INVALID_WINDOW_HANDLE;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return ERROR_NOT_ENOUGH_MEMORY;
  timeval limit{kFullQueueSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  std::string entry = EntryName(reinterpret_cast<HWND>(message.window));
  sockaddr_un address = opened.Address(entry);
  ssize_t sent;
  do {
    sent = sendto(fd, &message, sizeof message, MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (sent < 0 && errno == EINTR);
  int error = errno;
  close(fd);
  if (sent == static_cast<ssize_t>(sizeof message)) return ERROR_SUCCESS;
  if (error == EAGAIN || error == EWOULDBLOCK) return ERROR_NOT_ENOUGH_QUOTA;
  if (error == ECONNREFUSED || error == ENOENT) RemoveDeadEntry(opened, entry, error == ECONNREFUSED);
  return ERROR_INVALID_WINDOW_HANDLE;
}

std::vector<HWND> TopLevelWindows(const std::string& folder) {
  std::vector<HWND> windows;
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return windows;
  while (const dirent* entry = readdir(listing))
    if (HWND window = WindowOfEntry(entry->d_name)) windows.push_back(window);
  closedir(listing);
  return windows;
}

}  // namespace win32
