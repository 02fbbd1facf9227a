#include "platform/win32/internal/RunState.h"

#include <chrono>

#include "platform/win32/Win32.h"

namespace win32 {

DWORD RunState::ExitCode() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_running ? STILL_ACTIVE : m_exitCode;
}

DWORD RunState::Wait(DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  auto ended = [this] { return !m_running; };
  if (milliseconds == INFINITE) {
    m_ended.wait(lock, ended);
    return WAIT_OBJECT_0;
  }
  return m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds), ended) ? WAIT_OBJECT_0
                                                                               : WAIT_TIMEOUT;
}

void RunState::MarkEnded(DWORD exitCode) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_exitCode = exitCode;
  }
  m_ended.notify_all();
}

}  // namespace win32
