#include <optional>
#include <string>

#include "agent-macos/commands/ServiceCommand.h"
#include "agent-macos/log/Log.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/system/CFText.h"

namespace {

void serviceCommandReceived(CFNotificationCenterRef, void* observer, CFNotificationName, const void*,
                            CFDictionaryRef userInfo) {
  static_cast<TarvikService*>(observer)->onServiceCommand(userInfo);
}

std::string descriptionOf(CFTypeRef value) {
  CFStringRef description = CFCopyDescription(value);
  std::string text = textOf(description).value_or("");
  CFRelease(description);
  return text;
}

}  // namespace

void TarvikService::addObservers() {
  // Without suspension: the command is acted on, on the posting thread, before its post returns.
  CFNotificationCenterAddObserver(CFNotificationCenterGetLocalCenter(), this, serviceCommandReceived,
                                  TarvikServiceCommandNotification, nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
}

void TarvikService::removeObservers() {
  CFNotificationCenterRemoveObserver(CFNotificationCenterGetLocalCenter(), this, TarvikServiceCommandNotification,
                                     nullptr);
}

void TarvikService::onServiceCommand(CFDictionaryRef userInfo) {
  if (userInfo == nullptr) return;
  const std::optional<ServiceCommand> command = serviceCommandIn(userInfo);
  if (!command) {
    Utils::logInfo("Received unknown command: " + descriptionOf(userInfo));
    return;
  }
  Utils::logInfo("Received TarvikServiceCommand: " + descriptionOf(userInfo));
  switch (*command) {
    case ServiceCommand::ImmediatelyHeartbeat:
      isImmediatelyHeartbeat = true;
      Utils::logWarn("Heartbeat command set to run immediately.");
      break;
    case ServiceCommand::ImmediatelyRunDisplayCommand:
      isImmediatelyRunDisplayCommand = true;
      Utils::logWarn("Run display command set to run immediately.");
      break;
    case ServiceCommand::ImmediatelyUpdateMonitor:
      isImmediatelyUpdateMonitor = true;
      Utils::logWarn("Update monitor command set to run immediately.");
      break;
    case ServiceCommand::UpdateServerIp:
      handleUpdateServerIp();
      break;
  }
}
