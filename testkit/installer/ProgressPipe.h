// The installer's end of the agent's progress pipe. It is opened at the first message and again
// after a failed write, waiting a bounded time while the pipe is absent or busy, as installers
// wait for an agent that is starting or serving another installer.
#pragma once

#include <string>

#include "platform/win32/Win32.h"

namespace testkit {

class ProgressPipe {
 public:
  explicit ProgressPipe(std::wstring name) : m_name(std::move(name)) {}
  ~ProgressPipe();
  ProgressPipe(const ProgressPipe&) = delete;
  ProgressPipe& operator=(const ProgressPipe&) = delete;

  // False, after a line on stderr, when the message could not be written.
  bool Send(const std::string& message);

 private:
  bool Open();
  void Close();

  const std::wstring m_name;
  HANDLE m_pipe = INVALID_HANDLE_VALUE;
};

}  // namespace testkit
