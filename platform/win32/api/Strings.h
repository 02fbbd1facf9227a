// Code-page conversion. The ANSI code page of this machine is UTF-8 (as on a Windows
// system set to use UTF-8 for non-Unicode programs); wide text is UTF-32 here.
#pragma once

#include "platform/win32/api/Types.h"

#define CP_ACP 0
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define WC_ERR_INVALID_CHARS 0x00000080
#define MB_ERR_INVALID_CHARS 0x00000008

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR narrow,
                        int narrowLength, LPCSTR defaultChar, LPBOOL usedDefaultChar);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR narrow, int narrowLength, LPWSTR wide,
                        int wideLength);
