// The firmware-update state the command handler, the install worker and the installer pipe
// share: whether an update is being handled, whether its installer runs, and the commands that
// wait meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

// A firmware-update command is being handled: from its acceptance to its installer's end.
extern std::atomic<bool> g_bIsUpdating;
// Its installer has announced its start.
extern std::atomic<bool> g_bIsInstall;

// One accepted update. An installation has two ends (the installer's exit record and the end
// of its process); the id lets only the first end of the current update return to idle.
using UpdateId = std::uint64_t;

// Under the queue's lock: while an update is being handled, queues the command's text
// (nullopt); otherwise an update begins, which the caller handles.
std::optional<UpdateId> QueueWhileUpdating(const std::string& text);

struct TakenInstallCommand {
  UpdateId id;       // the update it begins
  std::string text;  // the whole message, as it arrived
};
// The oldest waiting command, taken off g_Install_list together with the update it begins, so
// that no command arriving meanwhile can overtake it; nullopt when nothing waits.
std::optional<TakenInstallCommand> TakeNextInstallCommand();

// The update's installer is about to start: from now on an installer that connects reports
// for this update.
void MarkInstallerStarting(UpdateId id);

// Ends the update when it is still the one being handled: clears g_bIsUpdating and
// g_bIsInstall, true. False when it has ended already.
bool EndUpdate(UpdateId id);
// The update being handled, once its installer has been started; nullopt otherwise. An
// installer that connects now reports for it.
std::optional<UpdateId> UpdateWithStartedInstaller();
