// The message queue of a window thread: what threads of this process post, and what other
// processes send to its socket in the window folder.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/win32/api/Types.h"
#include "platform/win32/api/Window.h"

namespace win32 {

class WindowQueue {
 public:
  // A queue bound in the current window folder; null with the last error set when it cannot be.
  static std::shared_ptr<WindowQueue> Create();
  // Its socket goes from the folder.
  ~WindowQueue();
  WindowQueue(const WindowQueue&) = delete;
  WindowQueue& operator=(const WindowQueue&) = delete;

  const std::string& Folder() const { return m_folder; }
  const std::string& SocketName() const { return m_socketName; }

  // From any thread of this process.
  void Push(const MSG& message);
  // By the owning thread: blocks until a message is there. False with the last error set when
  // waiting failed.
  bool Take(MSG* message);

 private:
  WindowQueue(std::string folder, std::string socketName, int socketFd, int wakeFd);
  // Moves what other processes sent into the queue; m_mutex held.
  void ReceivePosted();

  const std::string m_folder;
  const std::string m_socketName;
  const int m_socketFd;
  const int m_wakeFd;  // an eventfd that Push raises
  std::mutex m_mutex;
  std::deque<MSG> m_messages;
};

}  // namespace win32
