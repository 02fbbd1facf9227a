#include <optional>
#include <string>

#include "agent-macos/commands/InstallProgressInfo.h"
#include "agent-macos/commands/ServiceCommand.h"
#include "agent-macos/log/Log.h"
#include "agent-macos/messages/MessageJsonHelper.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/system/CFText.h"

namespace {

void serviceCommandReceived(CFNotificationCenterRef, void* observer, CFNotificationName, const void*,
                            CFDictionaryRef userInfo) {
  static_cast<TarvikService*>(observer)->onServiceCommand(userInfo);
}

void installProgressReceived(CFNotificationCenterRef, void* observer, CFNotificationName, const void*,
                             CFDictionaryRef userInfo) {
  static_cast<TarvikService*>(observer)->onInstallProgressUpdate(userInfo);
}

std::string descriptionOf(CFTypeRef value) {
  CFStringRef description = CFCopyDescription(value);
  std::string text = textOf(description).value_or("");
  CFRelease(description);
  return text;
}

}  // namespace

void TarvikService::addObservers() {
  // Delivered on the main thread through its run loop.
  CFNotificationCenterAddObserver(CFNotificationCenterGetDistributedCenter(), this, installProgressReceived,
                                  InstallProgressUpdateNotification, nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
  // Without suspension: the command is acted on, on the posting thread, before its post returns.
  CFNotificationCenterAddObserver(CFNotificationCenterGetLocalCenter(), this, serviceCommandReceived,
                                  TarvikServiceCommandNotification, nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
}

void TarvikService::removeObservers() {
  CFNotificationCenterRemoveObserver(CFNotificationCenterGetDistributedCenter(), this,
                                     InstallProgressUpdateNotification, nullptr);
  CFNotificationCenterRemoveObserver(CFNotificationCenterGetLocalCenter(), this, TarvikServiceCommandNotification,
                                     nullptr);
}

void TarvikService::onServiceCommand(CFDictionaryRef userInfo) {
  if (stopBegun || userInfo == nullptr) return;
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

void TarvikService::onInstallProgressUpdate(CFDictionaryRef userInfo) {
  if (stopBegun) return;
  if (const std::optional<InstallProgressInfo> info = installProgressInfoIn(userInfo)) relayInstallProgress(*info);
}

void TarvikService::relayInstallStatus() {
  CFPropertyListRef status = CFPreferencesCopyAppValue(kInstallStatusKey, kInstallerSuiteName);
  // Removed whatever it held, so a report that cannot be read is not read again.
  CFPreferencesSetAppValue(kInstallStatusKey, nullptr, kInstallerSuiteName);
  CFPreferencesAppSynchronize(kInstallerSuiteName);
  if (status == nullptr) return;
  const std::optional<InstallProgressInfo> info = installProgressInfoIn(status);
  CFRelease(status);
  if (info) relayInstallProgress(*info);
}

void TarvikService::relayInstallProgress(const InstallProgressInfo& info) {
  Utils::logInfo(progressLine(info));
  sendMessage(MessageJsonHelper::makeFirmwareUpdateProgress(info.sn, static_cast<float>(info.progress), info.state,
                                                           info.context, m_sUserId));
}
