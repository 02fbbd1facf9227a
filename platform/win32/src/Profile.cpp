#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Trim(const std::wstring& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
      return false;
  return true;
}

// A bare file name lives in the Windows folder, as on Windows.
std::string NativeProfilePath(const std::wstring& fileName) {
  if (fileName.find_first_of(L"\\/:") == std::wstring::npos)
    return win32::WindowsToNativePath(L"C:\\Windows\\" + fileName);
  return win32::WindowsToNativePath(fileName);
}

DWORD ReadBytes(const std::string& path, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return ERROR_ACCESS_DENIED;
  }
  char buffer[65536];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return ERROR_ACCESS_DENIED;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ERROR_SUCCESS;
}

std::wstring DecodeUtf16(const std::string& bytes, size_t start, bool bigEndian) {
  std::wstring text;
  auto unit = [&](size_t i) {
    auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
    auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
    return static_cast<char32_t>(hi << 8 | lo);
  };
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    text.push_back(u >= 0xD800 && u <= 0xDFFF ? L'\xFFFD' : static_cast<wchar_t>(u));
  }
  return text;
}

std::wstring Decode(const std::string& bytes) {
  auto starts = [&](const char* mark, size_t length) { return bytes.compare(0, length, mark, length) == 0; };
  if (starts("\xFF\xFE", 2)) return DecodeUtf16(bytes, 2, false);
  if (starts("\xFE\xFF", 2)) return DecodeUtf16(bytes, 2, true);
  size_t start = starts("\xEF\xBB\xBF", 3) ? 3 : 0;
  return win32::Utf8ToWide(bytes.substr(start));
}

// A pair of quotation marks around the whole value is not part of it.
std::wstring Unquote(const std::wstring& value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool FindValue(const std::wstring& text, const std::wstring& section, const std::wstring& key,
               std::wstring* value) {
  bool inSection = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      // Only the first section of the name is read.
      if (inSection) return false;
      size_t close = line.find(L']');
      size_t length = close == std::wstring::npos ? std::wstring::npos : close - 1;
      inSection = SameName(Trim(line.substr(1, length)), section);
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos || !SameName(Trim(line.substr(0, eq)), key)) continue;
    *value = Unquote(Trim(line.substr(eq + 1)));
    return true;
  }
  return false;
}

DWORD CopyOut(const std::wstring& value, LPWSTR out, DWORD size, DWORD found) {
  size_t count = value.size() < size - 1 ? value.size() : size - 1;
  std::wmemcpy(out, value.data(), count);
  out[count] = L'\0';
  SetLastError(count < value.size() ? ERROR_MORE_DATA : found);
  return static_cast<DWORD>(count);
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue,
                               LPWSTR returnedString, DWORD size, LPCWSTR fileName) {
  if (returnedString == nullptr || size == 0 || appName == nullptr || keyName == nullptr ||
      fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    if (returnedString != nullptr && size > 0) returnedString[0] = L'\0';
    return 0;
  }
  std::wstring fallback = defaultValue ? defaultValue : L"";
  while (!fallback.empty() && fallback.back() == L' ') fallback.pop_back();
  try {
    std::string bytes;
    DWORD error = ReadBytes(NativeProfilePath(fileName), &bytes);
    std::wstring value;
    if (error == ERROR_SUCCESS && FindValue(Decode(bytes), appName, keyName, &value))
      return CopyOut(value, returnedString, size, ERROR_SUCCESS);
    return CopyOut(fallback, returnedString, size,
                   error == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : error);
  } catch (const std::bad_alloc&) {
    return CopyOut(fallback, returnedString, size, ERROR_NOT_ENOUGH_MEMORY);
  }
}
