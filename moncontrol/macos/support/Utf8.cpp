#include "moncontrol/macos/support/Utf8.h"

namespace {

void AppendScalar(char32_t cp, std::string& out) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
    return;
  }
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  int trailing = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  out.push_back(static_cast<char>(kLead[trailing] | (cp >> (6 * trailing))));
  for (int shift = 6 * (trailing - 1); shift >= 0; shift -= 6)
    out.push_back(static_cast<char>(0x80 | ((cp >> shift) & 0x3F)));
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendScalar(static_cast<char32_t>(c), out);
  return out;
}

std::string WStringToUtf8(const wchar_t* text) {
  return text == nullptr ? std::string() : ToUtf8(text);
}
