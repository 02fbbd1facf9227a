#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win32/Win32.h"
#include "platform/win32/src/NamedPipe.h"

namespace win32 {

DWORD NamedPipeClient::Open(const PipeAddress& address, NamedPipeClient** client) {
  int fd = ConnectPipeSocket(address);
  if (fd < 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  char answer = 0;
  ssize_t received;
  do {
    received = recv(fd, &answer, 1, 0);
  } while (received < 0 && errno == EINTR);
  if (received == 1 && answer == kClientTaken) {
    *client = new NamedPipeClient(fd);
    return ERROR_SUCCESS;
  }
  close(fd);
  // No answer: the server ended while the client knocked.
  return received == 1 && answer == kPipeBusy ? ERROR_PIPE_BUSY : ERROR_FILE_NOT_FOUND;
}

NamedPipeClient::~NamedPipeClient() { close(m_fd); }

DWORD NamedPipeClient::Write(const void* buffer, DWORD size, DWORD* written) {
  *written = 0;
  if (size == 0) return ERROR_SUCCESS;
  ssize_t sent;
  do {
    sent = send(m_fd, buffer, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0)
    return errno == EMSGSIZE || errno == ENOBUFS ? ERROR_NOT_ENOUGH_MEMORY : ERROR_NO_DATA;
  *written = static_cast<DWORD>(sent);
  return ERROR_SUCCESS;
}

}  // namespace win32
