#include "agent-windows/sysevents/SysMsgHelper.h"

#include "foundation/log/Log.h"

namespace {

// The SDK only declares these; defined here so no GUID library is needed.
constexpr GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
constexpr GUID kPowerSchemePersonality = {
    0x245D8541, 0x3943, 0x4422, {0xB0, 0x25, 0x13, 0xA7, 0x84, 0xF6, 0x79, 0xB7}};

bool HasConnectedStandby() {
  SYSTEM_POWER_CAPABILITIES capabilities{};
  if (CallNtPowerInformation(SystemPowerCapabilities, nullptr, 0, &capabilities, sizeof(capabilities)) !=
      STATUS_SUCCESS)
    return false;
#ifdef __MINGW32__
  // MinGW-w64's headers still name this byte by its old, spare name.
  return capabilities.spare2[2] == 1;
#else
  return capabilities.AoAc == 1;
#endif
}

// Connected-standby machines only tell their power changes to windows that ask for them.
void RegisterForPowerNotifications(HWND window) {
  if (!HasConnectedStandby()) return;
  RegisterPowerSettingNotification(window, &kMonitorPowerOn, DEVICE_NOTIFY_WINDOW_HANDLE);
  RegisterPowerSettingNotification(window, &kPowerSchemePersonality, DEVICE_NOTIFY_WINDOW_HANDLE);
  RegisterSuspendResumeNotification(window, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void RaiseEvent(std::int32_t event, WPARAM first = 0, LPARAM second = 0) {
  SysMsgHelper::GetInstance()->DispatchEvent(event, first, second);
}

LRESULT OnPowerBroadcast(WPARAM kind) {
  if (kind == PBT_APMSUSPEND) {
    LogInfo(L"PBT_APMSUSPEND");
    RaiseEvent(SYS_MSG_SYSTEM_SUSPEND);
  } else if (kind == PBT_APMRESUMEAUTOMATIC) {
    LogInfo(L"PBT_APMRESUMEAUTOMATIC");
    RaiseEvent(SYS_MSG_SYSTEM_RESUME);
  }
  return 0;
}

LRESULT OnSessionChange(WPARAM reason, LPARAM sessionId) {
  switch (reason) {
    case WTS_CONSOLE_CONNECT:
      LogInfo(L"WTS_CONSOLE_CONNECT %d", static_cast<int>(sessionId));
      RaiseEvent(SYS_MSG_CONSOLE_CONNECT, 0, sessionId);
      break;
    case WTS_CONSOLE_DISCONNECT:
      LogInfo(L"WTS_CONSOLE_DISCONNECT");
      RaiseEvent(SYS_MSG_CONSOLE_DISCONNECT);
      break;
    case WTS_SESSION_LOGON:
      LogInfo(L"WTS_SESSION_LOGON");
      break;
    case WTS_SESSION_LOGOFF:
      LogInfo(L"WTS_SESSION_LOGOFF");
      break;
    case WTS_SESSION_LOCK:
      RaiseEvent(SYS_MSG_SESSION_LOCK);
      break;
    case WTS_SESSION_UNLOCK:
      RaiseEvent(SYS_MSG_SESSION_UNLOCK);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

void SysMsgHelper::AddCallback(std::int32_t event, SysMsgHandler handler, void* context) {
  m_handlers.push_back({event, handler, context});
}

void SysMsgHelper::DispatchEvent(std::int32_t event, WPARAM first, LPARAM second) {
  for (const HandlerRecord& record : m_handlers)
    if (record.event == event && record.handler != nullptr) record.handler(record.context, first, second);
}

HANDLE SysMsgHelper::StartWindowThread(LPCWSTR className, LPCWSTR windowName) {
  m_className = className;
  m_windowName = windowName;
  return CreateThread(nullptr, 0, &SysMsgHelper::WindowThread, this, 0, nullptr);
}

DWORD WINAPI SysMsgHelper::WindowThread(LPVOID parameter) {
  if (parameter != nullptr) static_cast<SysMsgHelper*>(parameter)->RunWindow();
  return 0;
}

void SysMsgHelper::RunWindow() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = &SysMsgHelper::WindowProc;
  windowClass.hInstance = m_instance;
  windowClass.lpszClassName = m_className;
  RegisterClassExW(&windowClass);

  m_window = CreateWindowExW(0, m_className, m_windowName, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                             m_instance, nullptr);
  if (m_window == nullptr) return;
  ShowWindow(m_window, SW_HIDE);
  WTSRegisterSessionNotification(m_window, NOTIFY_FOR_ALL_SESSIONS);
  RegisterForPowerNotifications(m_window);

  MSG message;
  // -1 is an error that would repeat for ever.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT CALLBACK SysMsgHelper::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DISPLAYCHANGE:
      LogInfo(L"SYS_MSG_DISPLAY_CHANGE - WM_DISPLAYCHANGE");
      RaiseEvent(SYS_MSG_DISPLAY_CHANGE);
      return 0;
    case WM_DEVICECHANGE:
      RaiseEvent(SYS_MSG_DISPLAY_CHANGE, wParam, lParam);
      return 0;
    case WM_POWERBROADCAST:
      return OnPowerBroadcast(wParam);
    case WM_WTSSESSION_CHANGE:
      return OnSessionChange(wParam, lParam);
    case WM_QUERYENDSESSION:
      // Never stand in the way of the end of a session.
      return TRUE;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
