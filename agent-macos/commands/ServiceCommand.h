// The commands that parts of the agent post to the agent object, to wake one of its tasks or to
// reload its settings, and the in-process notification that carries them.
#pragma once

#include <optional>
#include <string_view>

#include "platform/macos/CoreFoundation.h"

enum class ServiceCommand {
  ImmediatelyHeartbeat = 0,
  ImmediatelyRunDisplayCommand = 1,
  ImmediatelyUpdateMonitor = 2,
  UpdateServerIp = 3,
};

// The command's name, "ImmediatelyHeartbeat" and so on.
const char* textOf(ServiceCommand command);
std::optional<ServiceCommand> serviceCommandFromText(std::string_view text);

// Posted on the local centre with no object and the user information {"command": the text}.
extern const CFNotificationName TarvikServiceCommandNotification;

// The command of such user information; none when its "command" is missing, not text or the
// name of no command.
std::optional<ServiceCommand> serviceCommandIn(CFDictionaryRef userInfo);

// Logs the command and posts it; its observers have run when this returns.
void postServiceCommand(ServiceCommand command);
