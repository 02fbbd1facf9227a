// Files and folders, by Windows path (drive C: and Z: as in Drive.h). Names are case-sensitive
// here, unlike on Windows.
#pragma once

#include "platform/win32/api/Token.h"
#include "platform/win32/api/Types.h"

#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFF
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020

typedef struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;

// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when a folder on
// the way is missing.
DWORD GetFileAttributesW(LPCWSTR path);
// Creates the last level only: ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND for a missing parent.
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL DeleteFileW(LPCWSTR path);
// A file or a folder.
BOOL PathFileExistsW(LPCWSTR path);
// The first entry that the path names; '*' and '?' are wildcards in its last component.
HANDLE FindFirstFileW(LPCWSTR path, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);
