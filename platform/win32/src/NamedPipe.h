// Named pipes as Unix-domain sockets. The server end listens on <root>/Pipes/<name>; a thread
// of its own takes every client that connects and answers at once, so a client learns at open
// time whether the pipe's one instance took it or is busy.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/api/Types.h"
#include "platform/win32/internal/KernelObject.h"

namespace win32 {

// The socket of a pipe: file in folder.
struct PipeAddress {
  std::string folder;
  std::string file;
};

// Whether the name is in the pipe namespace, "\\.\pipe\...".
bool IsPipeName(LPCWSTR name);

// ERROR_SUCCESS and the address for "\\.\pipe\<name>", else ERROR_INVALID_NAME.
DWORD PipeAddressForName(LPCWSTR name, PipeAddress* address);

// A message socket bound to, or connected to, the address; -1 with errno set.
int BindPipeSocket(const PipeAddress& address);
int ConnectPipeSocket(const PipeAddress& address);

// The server's one-byte answer to a client that connects.
inline constexpr char kClientTaken = 'C';
inline constexpr char kPipeBusy = 'B';

class NamedPipeServer : public KernelObject {
 public:
  // Serves the address; ERROR_PIPE_BUSY when another server has it.
  static DWORD Create(const PipeAddress& address, bool everyoneFullAccess,
                      NamedPipeServer** server);
  ~NamedPipeServer() override;

  DWORD Connect();
  DWORD Disconnect();
  DWORD Read(void* buffer, DWORD size, DWORD* read);

 private:
  enum class State {
    kListening,     // takes the next client
    kConnected,     // has a client
    kClosing,       // its client has gone; waits for Disconnect
    kDisconnected,  // takes no client until Connect
  };

  NamedPipeServer(std::string socketPath, int lockFd, int listenFd);
  void TakeClients();
  DWORD Deliver(std::vector<char> message, void* buffer, DWORD size, DWORD* read);

  const std::string m_socketPath;
  const int m_lockFd;
  const int m_listenFd;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  State m_state = State::kListening;
  int m_clientFd = -1;
  std::vector<char> m_rest;  // what a short read left of a message
  std::thread m_acceptor;
};

class NamedPipeClient : public KernelObject {
 public:
  // Connects to the server of the address: ERROR_FILE_NOT_FOUND when there is none,
  // ERROR_PIPE_BUSY when it takes no client now.
  static DWORD Open(const PipeAddress& address, NamedPipeClient** client);
  ~NamedPipeClient() override;

  DWORD Write(const void* buffer, DWORD size, DWORD* written);

 private:
  explicit NamedPipeClient(int fd) : m_fd(fd) {}

  const int m_fd;
};

}  // namespace win32
