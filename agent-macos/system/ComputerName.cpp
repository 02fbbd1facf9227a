#include "agent-macos/system/ComputerName.h"

#include "agent-macos/system/CFText.h"
#include "platform/macos/SystemConfiguration.h"

std::optional<std::string> computerName() {
  CFStringRef name = SCDynamicStoreCopyComputerName(nullptr, nullptr);
  if (name == nullptr) return std::nullopt;
  std::optional<std::string> text = textOf(name);
  CFRelease(name);
  return text;
}
