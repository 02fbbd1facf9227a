#include <unistd.h>

#include <climits>

#include "platform/macos/api/CFPreferences.h"
#include "platform/macos/internal/PreferenceFiles.h"

const CFStringRef kCFPreferencesCurrentApplication = CFSTR("kCFPreferencesCurrentApplication");

namespace {

// A program outside a bundle has its executable's name for its domain.
std::string ExecutableName() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
  const std::string full(path, static_cast<std::size_t>(length));
  return full.substr(full.rfind('/') + 1);
}

std::string DomainOf(CFStringRef applicationID) {
  if (applicationID->units == kCFPreferencesCurrentApplication->units) return ExecutableName();
  return macstandin::Utf8Of(applicationID);
}

}  // namespace

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
  if (key == nullptr || applicationID == nullptr) return nullptr;
  for (const std::string& path : macstandin::PreferenceFilesOf(DomainOf(applicationID))) {
    const auto values = macstandin::ReadPreferenceFile(path);
    const void* value = values ? CFDictionaryGetValue(values.Get(), key) : nullptr;
    if (value) return CFRetain(value);
  }
  return nullptr;
}
