// For tests: a top-level window on a thread of its own that keeps every message dispatched to
// it. Its procedure answers each message with the message's lParam.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/Win32.h"

namespace sysevents {

struct ReceivedMessage {
  HWND window;  // what the procedure was called with
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;      // as GetMessageW gave it
  LRESULT result;  // what DispatchMessageW returned
};

class RecordingWindow {
 public:
  // Made in the window folder of the kernel-objects root set now; Handle() is null when
  // CreateWindowExW failed.
  RecordingWindow();
  // Quits, unless Quit did.
  ~RecordingWindow();
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  HWND Handle() const { return m_window; }
  // The messages dispatched so far, once there are at least `count` (or 10 s have passed).
  std::vector<ReceivedMessage> WaitForMessages(std::size_t count);
  // Posts WM_QUIT and waits for the message loop to end: what GetMessageW last returned.
  BOOL Quit();

 private:
  void Run(std::promise<HWND>* created);

  HWND m_window = nullptr;
  BOOL m_lastGet = -1;
  std::mutex m_mutex;
  std::condition_variable m_received;
  std::vector<ReceivedMessage> m_messages;
  std::thread m_thread;
};

}  // namespace sysevents
