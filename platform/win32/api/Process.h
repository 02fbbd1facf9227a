// Processes: creation from a Windows command line, exit codes, the running program's identity.
#pragma once

#include "platform/win32/api/Token.h"
#include "platform/win32/api/Types.h"

#define STILL_ACTIVE 259

#define ERROR_BAD_EXE_FORMAT 193L

#define CREATE_NEW_CONSOLE 0x00000010
#define NORMAL_PRIORITY_CLASS 0x00000020
#define CREATE_UNICODE_ENVIRONMENT 0x00000400

#define STARTF_USESHOWWINDOW 0x00000001
#ifndef SW_HIDE
#define SW_HIDE 0
#endif
#ifndef SW_SHOWNORMAL
#define SW_SHOWNORMAL 1
#endif

typedef struct _STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// The environment block and the creation flags other than the console ones are not supported:
// the child gets the caller's environment.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// As CreateProcessW, in the token's session.
BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                          LPSECURITY_ATTRIBUTES processAttributes,
                          LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                          DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                          LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation);

// The pseudo handle of the calling process; it needs no closing.
HANDLE GetCurrentProcess();
// Ends the process and every thread in it at once: no static destructor runs. Standard
// output and error are flushed first.
[[noreturn]] void ExitProcess(UINT exitCode);
DWORD GetCurrentProcessId();
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// The command line as Windows shows it: the program path in Windows form, then the arguments.
LPWSTR GetCommandLineW();

BOOL QueryFullProcessImageNameW(HANDLE process, DWORD flags, LPWSTR name, DWORD* size);
// Every module of this process is the executable itself: the stand-in links statically.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
