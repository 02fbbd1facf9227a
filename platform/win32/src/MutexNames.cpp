#include "platform/win32/src/MutexNames.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string_view>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Spawn.h"

namespace win32 {

namespace {

constexpr std::wstring_view kGlobalPrefix = L"Global\\";
constexpr std::wstring_view kLocalPrefix = L"Local\\";
// File names stay well below the 255 bytes a Linux file system allows.
constexpr std::size_t kMaxReadableLength = 200;
constexpr std::size_t kHashedPrefixLength = 150;

std::string NamespaceRoot() {
  const char* root = std::getenv("TARVIK_KERNEL_OBJECTS");
  std::string path = (root != nullptr && *root != '\0') ? root : "/dev/shm/tarvik-objects";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void AppendHex(std::string& out, std::uint64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out.push_back(kDigits[(value >> shift) & 0xF]);
}

// Letters, digits, '-' and '_' stand as they are (names are case-sensitive, like the files);
// every other character becomes %XX, %uXXXX or %UXXXXXXXX by its code.
std::string EscapedName(std::wstring_view name) {
  std::string out;
  for (wchar_t c : name) {
    auto code = static_cast<std::uint32_t>(c);
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
        c == L'-' || c == L'_') {
      out.push_back(static_cast<char>(c));
    } else if (code < 0x100) {
      out.push_back('%');
      AppendHex(out, code, 2);
    } else if (code < 0x10000) {
      out += "%u";
      AppendHex(out, code, 4);
    } else {
      out += "%U";
      AppendHex(out, code, 8);
    }
  }
  return out;
}

std::uint64_t NameHash(std::wstring_view name) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (wchar_t c : name) {
    hash ^= static_cast<std::uint32_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// A long escaped name keeps a readable start and is told apart by a hash of the whole name.
std::string FileName(std::wstring_view name) {
  std::string escaped = EscapedName(name);
  if (escaped.size() <= kMaxReadableLength) return escaped;
  escaped.resize(kHashedPrefixLength);
  escaped.push_back('#');
  AppendHex(escaped, NameHash(name), 16);
  return escaped;
}

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

  file->root = NamespaceRoot();
  file->directory =
      file->root + (global ? "/Global" : "/Session" + std::to_string(CurrentSessionId()));
  file->path = file->directory + "/" + FileName(rest);
  return ERROR_SUCCESS;
}

}  // namespace win32
