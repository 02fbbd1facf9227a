#include "agent-macos/settings/Preferences.h"

#include <cstdint>
#include <cstdio>

#include "agent-macos/system/CFText.h"

namespace {

// As the user defaults give a number asked for as a string.
std::optional<std::string> numberText(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return std::nullopt;
  auto number = static_cast<CFNumberRef>(value);
  if (CFNumberIsFloatType(number)) {
    double real = 0;
    CFNumberGetValue(number, kCFNumberDoubleType, &real);
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", real);
    return std::string(text);
  }
  std::int64_t whole = 0;
  CFNumberGetValue(number, kCFNumberSInt64Type, &whole);
  return std::to_string(whole);
}

}  // namespace

std::optional<std::string> managedText(CFStringRef key) {
  CFPropertyListRef value = CFPreferencesCopyAppValue(key, CFSTR("com.quelmo.tarvik"));
  if (value == nullptr) return std::nullopt;
  std::optional<std::string> text = textOf(value);
  CFRelease(value);
  return text;
}

std::optional<std::string> userDefaultsText(CFStringRef key) {
  CFPropertyListRef value = CFPreferencesCopyAppValue(key, kCFPreferencesCurrentApplication);
  if (value == nullptr) return std::nullopt;
  std::optional<std::string> text = textOf(value);
  if (!text) text = numberText(value);
  CFRelease(value);
  return text;
}
