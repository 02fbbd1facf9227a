// Files and folders, by Windows path (drive C: and Z: as in Drive.h). Names are case-sensitive
// here, unlike on Windows.
#pragma once

#include "platform/win32/api/Token.h"
#include "platform/win32/api/Types.h"

#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFF
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020

#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_FILE_EXISTS 80L
#define ERROR_DIR_NOT_EMPTY 145L

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

typedef enum _GET_FILEEX_INFO_LEVELS {
  GetFileExInfoStandard,
  GetFileExMaxInfoLevel
} GET_FILEEX_INFO_LEVELS;

typedef struct _WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
} WIN32_FILE_ATTRIBUTE_DATA, *LPWIN32_FILE_ATTRIBUTE_DATA;

// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when a folder on
// the way is missing.
DWORD GetFileAttributesW(LPCWSTR path);
// Creates the last level only: ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND for a missing parent.
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
// An empty folder only: ERROR_DIR_NOT_EMPTY otherwise, ERROR_DIRECTORY for a file.
BOOL RemoveDirectoryW(LPCWSTR path);
// A file only: ERROR_ACCESS_DENIED for a folder or a read-only file.
BOOL DeleteFileW(LPCWSTR path);
// A file or a folder, within one file system here (ERROR_NOT_SAME_DEVICE otherwise); never
// replaces an existing target (ERROR_ALREADY_EXISTS).
BOOL MoveFileW(LPCWSTR existingPath, LPCWSTR newPath);
// GetFileExInfoStandard only; data is a WIN32_FILE_ATTRIBUTE_DATA.
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data);
// A file or a folder.
BOOL PathFileExistsW(LPCWSTR path);
// The first entry that the path names; '*' and '?' are wildcards in its last component, matched
// as Windows does, case ignored: "*.*" matches every name, and a folder search also returns "."
// and "..", first. The other entries follow in the order of their names.
HANDLE FindFirstFileW(LPCWSTR path, LPWIN32_FIND_DATAW data);
// The next match of the search; ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);

// The temporary folder of a service, C:\Windows\Temp\ (made when missing), with its trailing
// backslash. The characters written without the terminator, or the size needed with it when the
// buffer is too small.
DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer);
// "<path>\<prefix up to 3 characters><hex number>.tmp" into fileName (MAX_PATH characters). With
// unique 0 the number is chosen so that no other caller gets the same name, and the empty file
// is made; otherwise the name is only formed. The number used, or 0 on failure (ERROR_DIRECTORY,
// ERROR_PATH_NOT_FOUND when the folder is missing, ERROR_FILE_EXISTS when every number is taken).
UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR fileName);
