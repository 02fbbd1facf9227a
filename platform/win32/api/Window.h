// Windows, their message queues, and the system events they receive.
//
// A window belongs to the thread that creates it; each thread with a window has one queue.
// Every window here is a top-level window of the machine: its queue is reachable from other
// processes, and a message posted to HWND_BROADCAST reaches every top-level window of every
// process. System events (display, device, power, session) come from outside the process that
// way, as on Windows. Windows end with their thread.
//
// The notification registrations are checked and then deliver nothing of their own: the events
// reach every top-level window anyway, and a service's control handler never hears them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32/api/Process.h"  // the show commands (SW_HIDE, ...)
#include "platform/win32/api/Types.h"

using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LRESULT = LONG_PTR;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using ATOM = WORD;
using NTSTATUS = LONG;

struct HMENU__;
using HMENU = HMENU__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;

using HDEVNOTIFY = PVOID;
using HPOWERNOTIFY = PVOID;

#define CALLBACK

#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_INVALID_THREAD_ID 1444L
#define ERROR_NOT_ENOUGH_QUOTA 1816L

#define STATUS_SUCCESS (static_cast<NTSTATUS>(0x00000000L))
#define STATUS_INVALID_PARAMETER (static_cast<NTSTATUS>(0xC000000DL))
#define STATUS_BUFFER_TOO_SMALL (static_cast<NTSTATUS>(0xC0000023L))

#define WM_NULL 0x0000
#define WM_QUERYENDSESSION 0x0011
#define WM_QUIT 0x0012
#define WM_DISPLAYCHANGE 0x007E
#define WM_POWERBROADCAST 0x0218
#define WM_DEVICECHANGE 0x0219
#define WM_WTSSESSION_CHANGE 0x02B1

#define PBT_APMSUSPEND 0x0004
#define PBT_APMRESUMESUSPEND 0x0007
#define PBT_APMRESUMEAUTOMATIC 0x0012
#define PBT_POWERSETTINGCHANGE 0x8013

#define WTS_CONSOLE_CONNECT 0x1
#define WTS_CONSOLE_DISCONNECT 0x2
#define WTS_REMOTE_CONNECT 0x3
#define WTS_REMOTE_DISCONNECT 0x4
#define WTS_SESSION_LOGON 0x5
#define WTS_SESSION_LOGOFF 0x6
#define WTS_SESSION_LOCK 0x7
#define WTS_SESSION_UNLOCK 0x8

#define NOTIFY_FOR_THIS_SESSION 0
#define NOTIFY_FOR_ALL_SESSIONS 1

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

#define WS_OVERLAPPED 0x00000000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_THICKFRAME 0x00040000L
#define WS_SYSMENU 0x00080000L
#define WS_CAPTION 0x00C00000L
#define WS_VISIBLE 0x10000000L
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xffff)))

#define DBT_DEVNODES_CHANGED 0x0007
#define DBT_DEVICEARRIVAL 0x8000
#define DBT_DEVICEREMOVECOMPLETE 0x8004
#define DBT_DEVTYP_DEVICEINTERFACE 0x00000005

#define DEVICE_NOTIFY_WINDOW_HANDLE 0x00000000
#define DEVICE_NOTIFY_SERVICE_HANDLE 0x00000001

typedef LRESULT(CALLBACK* WNDPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT, *LPPOINT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
} WNDCLASSEXW;

typedef struct _DEV_BROADCAST_HDR {
  DWORD dbch_size;
  DWORD dbch_devicetype;
  DWORD dbch_reserved;
} DEV_BROADCAST_HDR, *PDEV_BROADCAST_HDR;

typedef struct _DEV_BROADCAST_DEVICEINTERFACE_W {
  DWORD dbcc_size;
  DWORD dbcc_devicetype;
  DWORD dbcc_reserved;
  GUID dbcc_classguid;
  wchar_t dbcc_name[1];
} DEV_BROADCAST_DEVICEINTERFACE_W, *PDEV_BROADCAST_DEVICEINTERFACE_W;

// Windows knows many more levels; this machine answers this one.
typedef enum {
  SystemPowerCapabilities = 4,
} POWER_INFORMATION_LEVEL;

typedef enum _SYSTEM_POWER_STATE {
  PowerSystemUnspecified = 0,
  PowerSystemWorking = 1,
  PowerSystemSleeping1 = 2,
  PowerSystemSleeping2 = 3,
  PowerSystemSleeping3 = 4,
  PowerSystemHibernate = 5,
  PowerSystemShutdown = 6,
  PowerSystemMaximum = 7,
} SYSTEM_POWER_STATE;

typedef struct {
  DWORD Granularity;
  DWORD Capacity;
} BATTERY_REPORTING_SCALE;

typedef struct {
  BOOLEAN PowerButtonPresent;
  BOOLEAN SleepButtonPresent;
  BOOLEAN LidPresent;
  BOOLEAN SystemS1;
  BOOLEAN SystemS2;
  BOOLEAN SystemS3;
  BOOLEAN SystemS4;
  BOOLEAN SystemS5;
  BOOLEAN HiberFilePresent;
  BOOLEAN FullWake;
  BOOLEAN VideoDimPresent;
  BOOLEAN ApmPresent;
  BOOLEAN UpsPresent;
  BOOLEAN ThermalControl;
  BOOLEAN ProcessorThrottle;
  BYTE ProcessorMinThrottle;
  BYTE ProcessorMaxThrottle;
  BOOLEAN FastSystemS4;
  BOOLEAN Hiberboot;
  BOOLEAN WakeAlarmPresent;
  BOOLEAN AoAc;  // always on, always connected: connected standby
  BOOLEAN DiskSpinDown;
  BYTE HiberFileType;
  BOOLEAN AoAcConnectivitySupported;
  BYTE spare3[6];
  BOOLEAN SystemBatteriesPresent;
  BOOLEAN BatteriesAreShortTerm;
  BATTERY_REPORTING_SCALE BatteryScale[3];
  SYSTEM_POWER_STATE AcOnLineWake;
  SYSTEM_POWER_STATE SoftLidWake;
  SYSTEM_POWER_STATE RtcWake;
  SYSTEM_POWER_STATE MinDeviceWakeState;
  SYSTEM_POWER_STATE DefaultLowLatencyWake;
} SYSTEM_POWER_CAPABILITIES, *PSYSTEM_POWER_CAPABILITIES;
static_assert(sizeof(SYSTEM_POWER_CAPABILITIES) == 76);
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, AoAc) == 20);

// Records the class by name (case-insensitive) in the process: ERROR_CLASS_ALREADY_EXISTS for a
// name known already, ERROR_INVALID_PARAMETER for a bad cbSize, no procedure or no name.
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
// A top-level window of the calling thread, hidden unless the style has WS_VISIBLE. The class
// must be registered (ERROR_CANNOT_FIND_WND_CLASS); a parent is not supported
// (ERROR_INVALID_PARAMETER). The procedure gets no creation messages. TARVIK_WIN32_FAIL can
// make it fail.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter);
// For a window of this process: whether it was visible before. SW_HIDE hides, the rest show.
BOOL ShowWindow(HWND window, int showCommand);

// Blocks until a message for one of the calling thread's windows is queued: 0 for WM_QUIT, -1
// for a thread without a window or a null message, else TRUE. No filters: the window must be
// null and both bounds 0 (-1 and ERROR_INVALID_PARAMETER otherwise).
BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
// There are no key messages to translate: FALSE.
BOOL TranslateMessage(const MSG* message);
// Calls the window's class procedure with the message and returns what it returns.
LRESULT DispatchMessageW(const MSG* message);
// 0 for every message, but TRUE for WM_QUERYENDSESSION: the session may end.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message to the window's thread, in this process or another, or with
// HWND_BROADCAST to every top-level window of the machine. ERROR_INVALID_WINDOW_HANDLE for a
// window that does not exist (its process may have ended); ERROR_NOT_ENOUGH_QUOTA when a thread
// of another process has left its queue full for a while.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// For a window of this process (ERROR_INVALID_HANDLE otherwise).
BOOL WTSRegisterSessionNotification(HWND window, DWORD flags);

// SystemPowerCapabilities: the record of this machine, a desktop without batteries. AoAc is 1
// only when TARVIK_WIN32_CONNECTED_STANDBY is "1".
NTSTATUS CallNtPowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength,
                                PVOID output, ULONG outputLength);

// Window recipients only (DEVICE_NOTIFY_WINDOW_HANDLE, else ERROR_INVALID_PARAMETER), a window
// of this process (else ERROR_INVALID_HANDLE). The handles need no closing.
HPOWERNOTIFY RegisterPowerSettingNotification(HANDLE recipient, LPCGUID powerSetting, DWORD flags);
HPOWERNOTIFY RegisterSuspendResumeNotification(HANDLE recipient, DWORD flags);

// The filter must be a device-interface filter at least a header long (ERROR_INVALID_DATA); the
// recipient a service status handle (DEVICE_NOTIFY_SERVICE_HANDLE) or a window of this process
// (DEVICE_NOTIFY_WINDOW_HANDLE), else ERROR_INVALID_PARAMETER. TARVIK_WIN32_FAIL can make it
// fail. The handle needs no closing.
HDEVNOTIFY RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags);
