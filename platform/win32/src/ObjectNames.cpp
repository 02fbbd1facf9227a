#include "platform/win32/src/ObjectNames.h"

#include <cstdint>
#include <cstdlib>

namespace win32 {

namespace {

constexpr std::size_t kHashLength = 16;

void AppendHex(std::string& out, std::uint64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out.push_back(kDigits[(value >> shift) & 0xF]);
}

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

}  // namespace

std::string KernelObjectsRoot() {
  const char* root = std::getenv("TARVIK_KERNEL_OBJECTS");
  std::string path = (root != nullptr && *root != '\0') ? root : "/dev/shm/tarvik-objects";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ObjectFileName(std::wstring_view name, std::size_t maxLength) {
  std::string escaped = EscapedName(name);
  if (escaped.size() <= maxLength) return escaped;
  // The readable start leaves room for '#' and the hash (maxLength is well above 68).
  escaped.resize(maxLength * 3 / 4);
  escaped.push_back('#');
  AppendHex(escaped, NameHash(name), kHashLength);
  return escaped;
}

}  // namespace win32
