// Wide text (UTF-32 on macOS) to UTF-8. A value that is no Unicode scalar becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::string ToUtf8(std::wstring_view text);
// An empty string for a null pointer.
std::string WStringToUtf8(const wchar_t* text);
