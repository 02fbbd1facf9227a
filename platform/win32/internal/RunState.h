// Whether something started (a process, a thread) still runs, and how it ended: what the
// handles of both wait on and read their exit code from.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/win32/api/Types.h"

namespace win32 {

class RunState {
 public:
  // STILL_ACTIVE while it runs.
  DWORD ExitCode() const;
  // WAIT_OBJECT_0 once it has ended, WAIT_TIMEOUT when it still runs after the time given.
  DWORD Wait(DWORD milliseconds);
  void MarkEnded(DWORD exitCode);

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_ended;
  bool m_running = true;
  DWORD m_exitCode = 0;
};

}  // namespace win32
