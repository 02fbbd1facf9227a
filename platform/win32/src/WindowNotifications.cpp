#include <atomic>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Fault.h"
#include "platform/win32/src/WindowRegistry.h"

namespace {

bool IsWindowOfThisProcess(HANDLE window) { return win32::FindWindowRecord(window).has_value(); }

// Registrations are never undone, so a handle is only a token, never a kernel object.
PVOID NewRegistration() {
  static std::atomic<std::uintptr_t> s_last{0};
  return reinterpret_cast<PVOID>(++s_last);
}

PVOID Refused(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// Power events go to windows of this process only.
HPOWERNOTIFY RegisterPowerRecipient(HANDLE recipient, DWORD flags) {
  if (flags != DEVICE_NOTIFY_WINDOW_HANDLE) return Refused(ERROR_INVALID_PARAMETER);
  if (!IsWindowOfThisProcess(recipient)) return Refused(ERROR_INVALID_HANDLE);
  return NewRegistration();
}

// ERROR_SUCCESS for a filter the system takes.
DWORD CheckDeviceFilter(LPVOID filter) {
  if (filter == nullptr) return ERROR_INVALID_PARAMETER;
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
  if (header->dbch_size < sizeof(DEV_BROADCAST_HDR) ||
      header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
    return ERROR_INVALID_DATA;
  return ERROR_SUCCESS;
}

}  // namespace

BOOL WTSRegisterSessionNotification(HWND window, DWORD flags) {
  if (flags != NOTIFY_FOR_THIS_SESSION && flags != NOTIFY_FOR_ALL_SESSIONS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsWindowOfThisProcess(window)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HPOWERNOTIFY RegisterPowerSettingNotification(HANDLE recipient, LPCGUID powerSetting, DWORD flags) {
  if (powerSetting == nullptr) return Refused(ERROR_INVALID_PARAMETER);
  return RegisterPowerRecipient(recipient, flags);
}

HPOWERNOTIFY RegisterSuspendResumeNotification(HANDLE recipient, DWORD flags) {
  return RegisterPowerRecipient(recipient, flags);
}

HDEVNOTIFY RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags) {
  if (win32::InjectedFailure("RegisterDeviceNotificationW")) return nullptr;
  if (DWORD error = CheckDeviceFilter(filter); error != ERROR_SUCCESS) return Refused(error);
  bool recipientTaken = (flags == DEVICE_NOTIFY_SERVICE_HANDLE && recipient != nullptr) ||
                        (flags == DEVICE_NOTIFY_WINDOW_HANDLE && IsWindowOfThisProcess(recipient));
  if (!recipientTaken) return Refused(ERROR_INVALID_PARAMETER);
  return NewRegistration();
}
