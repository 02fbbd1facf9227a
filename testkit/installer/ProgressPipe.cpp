#include "testkit/installer/ProgressPipe.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace testkit {

namespace {

constexpr auto kOpenPatience = std::chrono::seconds(10);
constexpr auto kRetryPause = std::chrono::milliseconds(20);

}  // namespace

ProgressPipe::~ProgressPipe() { Close(); }

bool ProgressPipe::Send(const std::string& message) {
  if (m_pipe == INVALID_HANDLE_VALUE && !Open()) return false;
  DWORD written = 0;
  if (WriteFile(m_pipe, message.data(), static_cast<DWORD>(message.size()), &written, nullptr))
    return true;
  std::fprintf(stderr, "installer: writing to the progress pipe failed: %u\n", GetLastError());
  Close();
  return false;
}

bool ProgressPipe::Open() {
  auto deadline = std::chrono::steady_clock::now() + kOpenPatience;
  for (;;) {
    m_pipe = CreateFileW(m_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_pipe != INVALID_HANDLE_VALUE) return true;
    DWORD error = GetLastError();
    if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PIPE_BUSY) ||
        std::chrono::steady_clock::now() >= deadline) {
      std::fprintf(stderr, "installer: the progress pipe cannot be opened: %u\n", error);
      return false;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}

void ProgressPipe::Close() {
  if (m_pipe != INVALID_HANDLE_VALUE) CloseHandle(m_pipe);
  m_pipe = INVALID_HANDLE_VALUE;
}

}  // namespace testkit
