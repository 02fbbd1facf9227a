#include "platform/win32/src/MutexNames.h"

#include <cwchar>
#include <string_view>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Spawn.h"
#include "platform/win32/src/ObjectNames.h"

namespace win32 {

namespace {

constexpr std::wstring_view kGlobalPrefix = L"Global\\";
constexpr std::wstring_view kLocalPrefix = L"Local\\";
// File names stay well below the 255 bytes a Linux file system allows.
constexpr std::size_t kMaxReadableLength = 200;

}  // namespace

DWORD MutexFileForName(LPCWSTR name, MutexFile* file) {
  if (name == nullptr || *name == L'\0') return ERROR_INVALID_PARAMETER;
  std::wstring_view rest(name);
  if (rest.size() > MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  bool global = rest.starts_with(kGlobalPrefix);
  if (global)
    rest.remove_prefix(kGlobalPrefix.size());
  else if (rest.starts_with(kLocalPrefix))
    rest.remove_prefix(kLocalPrefix.size());
  if (rest.empty()) return ERROR_INVALID_PARAMETER;
  if (rest.find(L'\\') != std::wstring_view::npos) return ERROR_PATH_NOT_FOUND;

  file->root = KernelObjectsRoot();
  file->directory =
      file->root + (global ? "/Global" : "/Session" + std::to_string(CurrentSessionId()));
  file->path = file->directory + "/" + ObjectFileName(rest, kMaxReadableLength);
  return ERROR_SUCCESS;
}

}  // namespace win32
