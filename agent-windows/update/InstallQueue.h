// The firmware-update state the command handler, the install worker and the installer pipe
// share: whether an update is being handled, whether its installer runs, and the commands that
// wait meanwhile.
#pragma once

#include <atomic>
#include <optional>
#include <string>

// A firmware-update command is being handled: from its acceptance to its installer's end.
extern std::atomic<bool> g_bIsUpdating;
// Its installer has announced its start.
extern std::atomic<bool> g_bIsInstall;

// Under the queue's lock: when an update is being handled, queues the command's text (true);
// otherwise marks one as handled from now on (false), and the caller handles it.
bool QueueWhileUpdating(const std::string& text);

// The oldest waiting command, taken off g_Install_list; none when nothing waits.
std::optional<std::string> TakeNextInstallCommand();
