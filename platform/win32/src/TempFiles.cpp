#include <atomic>
#include <cerrno>
#include <chrono>
#include <cwchar>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/FileSystem.h"

namespace {

constexpr wchar_t kTempFolder[] = L"C:\\Windows\\Temp\\";
constexpr UINT kUniqueNumbers = 0x10000;

// Where this process starts looking for a free number; other processes start elsewhere, and
// creating the file exclusively settles any collision.
UINT NextCandidate() {
  static std::atomic<UINT> next{static_cast<UINT>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^
      (static_cast<UINT>(getpid()) << 4))};
  return next.fetch_add(1) % kUniqueNumbers;
}

std::wstring TempFileName(const std::wstring& folder, const std::wstring& prefix, UINT unique) {
  wchar_t number[16];
  std::swprintf(number, 16, L"%X", unique);
  std::wstring name = folder;
  if (!name.empty() && name.back() != L'\\') name += L'\\';
  return name + prefix.substr(0, 3) + number + L".tmp";
}

UINT Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
  std::error_code ignored;  // a folder that cannot be made shows when a file is made in it
  std::filesystem::create_directories(win32::WindowsToNativePath(std::wstring(kTempFolder)), ignored);
  DWORD length = static_cast<DWORD>(std::wcslen(kTempFolder));
  if (buffer == nullptr || bufferLength <= length) return length + 1;
  std::wmemcpy(buffer, kTempFolder, length + 1);
  return length;
}

UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR fileName) {
  if (path == nullptr || fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::wstring folder = path;
  std::wstring prefixText = prefix != nullptr ? prefix : L"";
  if (TempFileName(folder, prefixText, 0xFFFF).size() >= MAX_PATH) return Fail(ERROR_BUFFER_OVERFLOW);
  std::string nativeFolder = win32::WindowsToNativePath(folder);
  struct stat info {};
  if (stat(nativeFolder.c_str(), &info) != 0) {
    DWORD error = win32::FileError(nativeFolder, errno);
    return Fail(error == ERROR_FILE_NOT_FOUND ? ERROR_DIRECTORY : error);
  }
  if (!S_ISDIR(info.st_mode)) return Fail(ERROR_DIRECTORY);

  if (unique != 0) {
    std::wstring name = TempFileName(folder, prefixText, unique & 0xFFFF);
    std::wmemcpy(fileName, name.c_str(), name.size() + 1);
    return unique;
  }
  for (UINT attempt = 0; attempt < kUniqueNumbers; ++attempt) {
    UINT candidate = NextCandidate();
    if (candidate == 0) continue;
    std::wstring name = TempFileName(folder, prefixText, candidate);
    std::string native = win32::WindowsToNativePath(name);
    int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Fail(win32::FileError(native, errno));
    close(fd);
    std::wmemcpy(fileName, name.c_str(), name.size() + 1);
    return candidate;
  }
  return Fail(ERROR_FILE_EXISTS);
}
