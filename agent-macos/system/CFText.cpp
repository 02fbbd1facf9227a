#include "agent-macos/system/CFText.h"

#include <vector>

std::optional<std::string> textOf(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return std::nullopt;
  auto string = static_cast<CFStringRef>(value);
  if (const char* direct = CFStringGetCStringPtr(string, kCFStringEncodingUTF8)) return std::string(direct);
  std::vector<char> buffer(static_cast<std::size_t>(CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8)) + 1);
  if (!CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8)) return std::nullopt;
  return std::string(buffer.data());
}
