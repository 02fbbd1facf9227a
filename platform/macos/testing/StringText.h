// The text of a CF string as tests compare it, read through the public calls.
#pragma once

#include <optional>
#include <string>

#include "platform/macos/CoreFoundation.h"

namespace macstandin::testing {

// Nullopt when value is not a string or cannot be put in UTF-8.
inline std::optional<std::string> Utf8Text(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return std::nullopt;
  const auto string = static_cast<CFStringRef>(value);
  const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!CFStringGetCString(string, text.data(), size, kCFStringEncodingUTF8)) return std::nullopt;
  text.resize(text.find('\0'));
  return text;
}

}  // namespace macstandin::testing
