#include "agent-macos/commands/InstallProgressInfo.h"

#include "agent-macos/system/CFInteger.h"
#include "agent-macos/system/CFText.h"

const CFNotificationName InstallProgressUpdateNotification = CFSTR("InstallProgressUpdate");
const CFStringRef kInstallerSuiteName = CFSTR("group.com.quelmo.tarvik");
const CFStringRef kInstallStatusKey = CFSTR("installStatus");

std::optional<InstallProgressInfo> installProgressInfoIn(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFDictionaryGetTypeID()) return std::nullopt;
  auto info = static_cast<CFDictionaryRef>(value);
  const std::optional<std::int64_t> progress = integerOf(CFDictionaryGetValue(info, CFSTR("progress")));
  const std::optional<std::string> sn = textOf(CFDictionaryGetValue(info, CFSTR("sn")));
  const std::optional<std::int64_t> state = integerOf(CFDictionaryGetValue(info, CFSTR("state")));
  const std::optional<std::string> context = textOf(CFDictionaryGetValue(info, CFSTR("context")));
  if (!progress || !sn || !state || !context) return std::nullopt;
  return InstallProgressInfo{*progress, *sn, *state, *context};
}

std::string progressLine(const InstallProgressInfo& info) {
  // The separator is the full-width colon U+FF1A.
  return info.sn + " - update progress \xEF\xBC\x9A" + std::to_string(info.progress) +
         "% - state: " + std::to_string(info.state) + " - context: " + info.context;
}
