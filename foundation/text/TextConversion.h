// Conversions between wide text (UTF-16 on Windows) and UTF-8.
#pragma once

#include <string>

// Empty, after an error line, when the conversion fails; an empty input is such a failure.
std::string WStringToString(const std::wstring& text);
std::wstring StringToWString(const std::string& text);
// Throws std::range_error for text that is not Unicode.
std::string WStringToUtf8(const wchar_t* text);
