#include "agent-windows/pipe/InstallerMessages.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "agent-windows/CaughtException.h"
#include "agent-windows/server/CommandHandler.h"
#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"

namespace {

enum InstallerMessageType : std::uint8_t {
  kStartInstall = 1,
  kInstallProgress = 2,
  kEndInstall = 3,
  kInstallerExit = 4,
};

// The update the connected installer reports for; kNoUpdate when the agent did not start it.
constexpr UpdateId kNoUpdate = 0;
std::atomic<UpdateId> g_connectedUpdate{kNoUpdate};

// Stands for an exit value that no 32-bit code can hold.
constexpr std::int32_t kUnreadableExitCode = -1;

// The value cut toward zero; a value without a 32-bit integer part is a failure like any other.
std::int32_t ReadExitCode(float value) {
  const double code = std::trunc(static_cast<double>(value));
  if (std::isfinite(code) && code >= std::numeric_limits<std::int32_t>::min() &&
      code <= std::numeric_limits<std::int32_t>::max())
    return static_cast<std::int32_t>(code);
  LogError(L"InstallExit code out of range: %f", static_cast<double>(value));
  return kUnreadableExitCode;
}

void ReportInstallFailure(std::int32_t code, const std::wstring& text) {
  const std::string message = GetSendInstallProgress(WStringToString(text), 0, 0, std::to_string(code));
  WebSocketMgr::GetInstance()->SendMsg(message, true);
  LogWarn(L"%S", message.c_str());
  LogWarn(L"setup is fail:%d:%s", code, text.c_str());
}

}  // namespace

void OnInstallerConnected() { g_connectedUpdate.store(UpdateWithStartedInstaller().value_or(kNoUpdate)); }

void OnInstallerMessage(const InstallerProgressMessage& message) {
  switch (message.type) {
    case kStartInstall:
      StartInstall();
      break;
    case kInstallProgress:
      InstallProcessing(InstallerMessageText(message), message.value);
      break;
    case kEndInstall:
      EndIntall();
      break;
    case kInstallerExit:
      InstallExit(ReadExitCode(message.value), InstallerMessageText(message));
      break;
    default:
      break;
  }
}

void StartInstall() {
  g_bIsInstall.store(true);
  WebSocketMgr::GetInstance()->SetIsInstall(true);
  LogInfo(L" StartInstall");
  WebSocketMgr::GetInstance()->ClearSendQueue();
}

void InstallProcessing(const std::wstring& text, float percent) {
  try {
    LogInfo(L"setup process:%s:%f", text.c_str(), static_cast<double>(percent));
    // Also false for NaN.
    if (!(percent >= 0 && percent <= 100)) {
      LogError(L"InstallProcessing progress out of range: %f", static_cast<double>(percent));
      return;
    }
    const std::string serial = WStringToString(text);
    const std::string message = GetSendInstallProgress(serial, percent, 1, "");
    WebSocketMgr::GetInstance()->SendMsg(message, serial, percent >= 100);
  } catch (...) {
    LogCaughtException(L"InstallProcessing");
  }
}

void EndIntall() {
  if (!g_bIsInstall.exchange(false)) return;
  WebSocketMgr::GetInstance()->SetIsInstall(false);
  LogInfo(L" EndIntall install update end.");
}

void InstallExit(std::int32_t code, const std::wstring& text) {
  if (code == kInstallerRunOver) {
    LogWarn(L"Zun exit :%d:%s", code, text.c_str());
    // Ends only the update this installer was started for, and only if its worker has not
    // ended it already: a late or repeated record must never end the next update.
    if (const UpdateId update = g_connectedUpdate.load(); update != kNoUpdate) {
      EndFirmwareUpdate(update);
    } else if (!g_bIsUpdating.load()) {
      g_bIsInstall.store(false);
      WebSocketMgr::GetInstance()->SetIsInstall(false);
    }
    return;
  }
  if (!g_bIsInstall.exchange(false)) return;
  WebSocketMgr::GetInstance()->SetIsInstall(false);
  ReportInstallFailure(code, text);
}
