// Gives the service the system events that its plain control handler never receives (display
// and device changes, console sessions, lock and unlock, suspend and resume), through a hidden
// top-level window on a thread of its own.
#pragma once

#include <cstdint>
#include <vector>

#include "agent-windows/Singleton.h"
#include "platform/win32/Win32.h"

enum SysMsgEvent : std::int32_t {
  SYS_MSG_CONSOLE_CONNECT = 3,
  SYS_MSG_CONSOLE_DISCONNECT = 4,
  SYS_MSG_SESSION_LOCK = 5,
  SYS_MSG_SESSION_UNLOCK = 6,
  SYS_MSG_SYSTEM_SUSPEND = 11,
  SYS_MSG_SYSTEM_RESUME = 12,
  SYS_MSG_DISPLAY_CHANGE = 101,
};

using SysMsgHandler = void (*)(void* context, WPARAM first, LPARAM second);

class SysMsgHelper : public Singleton<SysMsgHelper> {
 public:
  // Handlers must all be added before StartWindowThread: the window thread reads the list
  // without a lock.
  void AddCallback(std::int32_t event, SysMsgHandler handler, void* context);
  // The names must outlive the window thread.
  HANDLE StartWindowThread(LPCWSTR className, LPCWSTR windowName);
  // Calls every handler of the event, in the order they were added.
  void DispatchEvent(std::int32_t event, WPARAM first, LPARAM second);

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  friend class Singleton<SysMsgHelper>;
  SysMsgHelper() = default;

  struct HandlerRecord {
    std::int32_t event;
    SysMsgHandler handler;
    void* context;
  };

  static DWORD WINAPI WindowThread(LPVOID parameter);
  void RunWindow();

  HWND m_window = nullptr;
  HINSTANCE m_instance = nullptr;
  std::vector<HandlerRecord> m_handlers;
  LPCWSTR m_className = nullptr;
  LPCWSTR m_windowName = nullptr;
};
