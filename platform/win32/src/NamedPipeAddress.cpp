#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>
#include <string_view>

#include "platform/win32/Win32.h"
#include "platform/win32/src/NamedPipe.h"
#include "platform/win32/src/ObjectNames.h"

namespace win32 {

namespace {

constexpr std::wstring_view kPipePrefix = L"\\\\.\\pipe\\";
constexpr std::size_t kMaxPipeNameLength = 256;
// The socket is reached as /proc/self/fd/<folder>/<file>, which keeps the address within
// sun_path however deep the folder is.
constexpr std::size_t kMaxFileLength = 80;

bool HasPipePrefix(std::wstring_view name) {
  if (name.size() < kPipePrefix.size()) return false;
  for (std::size_t i = 0; i < kPipePrefix.size(); ++i)
    if (static_cast<wchar_t>(std::towlower(name[i])) != kPipePrefix[i]) return false;
  return true;
}

// A message socket on which call (bind or connect) succeeded for the socket file; -1 with errno.
int SocketAt(const PipeAddress& address, int (*call)(int, const sockaddr*, socklen_t)) {
  int folder = open(address.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return -1;
  sockaddr_un socketAddress{};
  socketAddress.sun_family = AF_UNIX;
  std::string path = "/proc/self/fd/" + std::to_string(folder) + "/" + address.file;
  path.copy(socketAddress.sun_path, sizeof socketAddress.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd >= 0 &&
      call(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) != 0) {
    int error = errno;
    close(fd);
    errno = error;
    fd = -1;
  }
  int error = errno;
  close(folder);
  errno = error;
  return fd;
}

}  // namespace

bool IsPipeName(LPCWSTR name) { return HasPipePrefix(name); }

DWORD PipeAddressForName(LPCWSTR name, PipeAddress* address) {
  if (name == nullptr) return ERROR_INVALID_NAME;
  std::wstring_view text(name);
  if (!HasPipePrefix(text) || text.size() == kPipePrefix.size() || text.size() > kMaxPipeNameLength)
    return ERROR_INVALID_NAME;
  text.remove_prefix(kPipePrefix.size());
  address->folder = KernelObjectsRoot() + "/Pipes";
  address->file = ObjectFileName(text, kMaxFileLength);
  return ERROR_SUCCESS;
}

int BindPipeSocket(const PipeAddress& address) { return SocketAt(address, bind); }

int ConnectPipeSocket(const PipeAddress& address) { return SocketAt(address, connect); }

}  // namespace win32
