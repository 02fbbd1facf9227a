#include "testkit/sysevents/RecordingWindow.h"

#include <chrono>

namespace sysevents {

namespace {

constexpr wchar_t kClassName[] = L"TarvikRecordingWindow";

// What the procedure was last called with on this thread.
thread_local ReceivedMessage t_call;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  t_call = {window, message, wParam, lParam, 0, 0};
  return lParam;
}

void RegisterClassOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
  });
}

}  // namespace

RecordingWindow::RecordingWindow() {
  std::promise<HWND> created;
  std::future<HWND> window = created.get_future();
  m_thread = std::thread(&RecordingWindow::Run, this, &created);
  m_window = window.get();
}

RecordingWindow::~RecordingWindow() { Quit(); }

void RecordingWindow::Run(std::promise<HWND>* created) {
  RegisterClassOnce();
  HWND window = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, nullptr, nullptr);
  created->set_value(window);
  if (window == nullptr) return;
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    LRESULT result = DispatchMessageW(&message);
    ReceivedMessage received = t_call;
    received.time = message.time;
    received.result = result;
    std::lock_guard lock(m_mutex);
    m_messages.push_back(received);
    m_received.notify_all();
  }
  std::lock_guard lock(m_mutex);
  m_lastGet = got;
}

std::vector<ReceivedMessage> RecordingWindow::WaitForMessages(std::size_t count) {
  std::unique_lock lock(m_mutex);
  m_received.wait_for(lock, std::chrono::seconds(10), [&] { return m_messages.size() >= count; });
  return m_messages;
}

BOOL RecordingWindow::Quit() {
  if (m_thread.joinable()) {
    if (m_window != nullptr) PostMessageW(m_window, WM_QUIT, 0, 0);
    m_thread.join();
  }
  std::lock_guard lock(m_mutex);
  return m_lastGet;
}

}  // namespace sysevents
