#include <cstring>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence; false on a malformed one (then one byte is consumed).
bool DecodeUtf8(const unsigned char* s, size_t n, size_t& i, char32_t& out) {
  unsigned char c = s[i];
  size_t extra;
  char32_t cp;
  if (c < 0x80) { out = c; ++i; return true; }
  if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
  else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
  else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
  else { ++i; return false; }
  for (size_t k = 1; k <= extra; ++k) {
    if (i + k >= n || (s[i + k] & 0xC0) != 0x80) { ++i; return false; }
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return false; }
  i += extra + 1;
  out = cp;
  return true;
}

void EncodeUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsValidScalar(wchar_t w) {
  auto cp = static_cast<char32_t>(w);
  return cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

bool KnownCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_UTF8;
}

}  // namespace

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR narrow,
                        int narrowLength, LPCSTR, LPBOOL usedDefaultChar) {
  if (!KnownCodePage(codePage) || wide == nullptr || narrowLength < 0 ||
      (narrowLength > 0 && narrow == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t count = wideLength < 0 ? std::wcslen(wide) + 1 : static_cast<size_t>(wideLength);
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (!IsValidScalar(wide[i])) {
      if (flags & WC_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      EncodeUtf8(kReplacement, out);
      continue;
    }
    EncodeUtf8(static_cast<char32_t>(wide[i]), out);
  }
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (narrowLength == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(narrowLength)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(narrow, out.data(), out.size());
  return static_cast<int>(out.size());
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR narrow, int narrowLength, LPWSTR wide,
                        int wideLength) {
  if (!KnownCodePage(codePage) || narrow == nullptr || wideLength < 0 ||
      (wideLength > 0 && wide == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t count = narrowLength < 0 ? std::strlen(narrow) + 1 : static_cast<size_t>(narrowLength);
  const auto* s = reinterpret_cast<const unsigned char*>(narrow);
  std::wstring out;
  out.reserve(count);
  for (size_t i = 0; i < count;) {
    char32_t cp;
    if (!DecodeUtf8(s, count, i, cp)) {
      if (flags & MB_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      cp = kReplacement;
    }
    out.push_back(static_cast<wchar_t>(cp));
  }
  if (wideLength == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(wideLength)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wmemcpy(wide, out.data(), out.size());
  return static_cast<int>(out.size());
}

namespace win32 {

std::string WideToUtf8(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

std::wstring Utf8ToWide(const std::string& narrow) {
  int n = MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), static_cast<int>(narrow.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), static_cast<int>(narrow.size()), out.data(), n);
  return out;
}

}  // namespace win32
