// An update installer's progress report and the two ways it reaches the agent: the distributed
// notification InstallProgressUpdate and the "installStatus" key of the app group's suite.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/macos/CoreFoundation.h"

struct InstallProgressInfo {
  std::int64_t progress;  // percent
  std::string sn;
  std::int64_t state;
  std::string context;
};

extern const CFNotificationName InstallProgressUpdateNotification;
// The suite the agent and the installers share, and its key.
extern const CFStringRef kInstallerSuiteName;
extern const CFStringRef kInstallStatusKey;

// The report a dictionary holds; none unless "progress" and "state" are integers and "sn" and
// "context" texts.
std::optional<InstallProgressInfo> installProgressInfoIn(CFTypeRef value);

// "<sn> - update progress ：<progress>% - state: <state> - context: <context>"
std::string progressLine(const InstallProgressInfo& info);
