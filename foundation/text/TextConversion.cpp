#include "foundation/text/TextConversion.h"

#include <climits>
#include <codecvt>
#include <locale>
#include <stdexcept>

#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

namespace {

int LengthForConversion(std::size_t length) {
  if (length > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long to convert");
  return static_cast<int>(length);
}

}  // namespace

std::string WStringToString(const std::wstring& text) {
  try {
    int length = LengthForConversion(text.size());
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size == 0) throw std::runtime_error("WideCharToMultiByte failed to calculate size");
    std::string result(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), size, nullptr,
                            nullptr) == 0)
      throw std::runtime_error("WideCharToMultiByte failed to convert string");
    return result;
  } catch (const std::exception& e) {
    LogError(L"WStringToString Exception caught: %s", StringToWString(e.what()).c_str());
    return {};
  }
}

std::wstring StringToWString(const std::string& text) {
  try {
    int length = LengthForConversion(text.size());
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (size == 0) throw std::runtime_error("MultiByteToWideChar failed to calculate size");
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), size) == 0)
      throw std::runtime_error("MultiByteToWideChar failed to convert string");
    return result;
  } catch (const std::exception& e) {
    // Its own failure cannot be told in wide text; the narrow form goes as an argument.
    LogError(L"StringToWString Exception caught: %S", e.what());
    return {};
  }
}

std::string WStringToUtf8(const wchar_t* text) {
// Deprecated, but it is the converter whose range error callers see.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  std::wstring_convert<std::codecvt_utf8<wchar_t, 0x10FFFF>> converter;
  return converter.to_bytes(text);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}
