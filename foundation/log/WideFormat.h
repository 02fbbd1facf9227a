// A wide printf that follows the Windows conventions on every platform:
//   %s %ls %ws  wide string        %S %hs %hS  narrow string (ANSI code page)
//   %c %lc %wc  wide character     %C %hc %hC  narrow character
//   l on d i u o x X: 32 bits (long is 32-bit on Windows); ll, I64: 64 bits; I32: 32 bits;
//   I, z, t, j: 64 bits here (pointer size); h: short; hh: char; L on floats: double.
//   %p: the pointer as 16 upper-case hex digits. Flags - + space # 0, width, precision, '*'.
//   The 0 flag pads strings and characters too, as the Windows CRT does.
// A null string argument prints "(null)". A bad conversion (unknown letter, %n, a format that
// ends inside a conversion) is copied to the output as written and consumes no argument.
// Widths and numeric precisions are capped at kMaxWideFormatField characters.
#pragma once

#include <cstdarg>
#include <string>

namespace tarvik {

inline constexpr int kMaxWideFormatField = 65536;

// Formats with the Windows wide printf conventions. A null format gives an empty string.
// `args` is read through a copy, so the caller may still va_end (or reuse) it.
std::wstring FormatWideV(const wchar_t* format, va_list args);
std::wstring FormatWide(const wchar_t* format, ...);

}  // namespace tarvik
