// Private profile (INI) files. The file may be in the ANSI code page (UTF-8 here, a UTF-8 byte
// order mark is skipped) or in UTF-16 with its byte order mark; bytes that are not valid text
// read as U+FFFD. Section and key names are compared without regard to case; a value loses
// its surrounding blanks and then one pair of surrounding quotation marks. The first section
// of a name and its first key of a name count.
#pragma once

#include "platform/win32/api/Types.h"

// The value, or the default without its trailing blanks, cut to size - 1 characters; returns
// the number of characters copied. Listing the names (a null section or key) is not supported.
DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue,
                               LPWSTR returnedString, DWORD size, LPCWSTR fileName);
