// The handler of every message the server sends.
#pragma once

#include <string>

#include "agent-windows/update/InstallQueue.h"

// Answers a "cmdid" with "ok" first, then acts on "type". Raises nothing: a malformed message
// is logged and dropped, and what was done before the fault stands.
// A firmware-update command that ends without an installer lets the next waiting one start.
void ParseControlCmd(const std::string& text);

// Handles the waiting firmware-update commands, oldest first, until one is left running or none
// waits.
void RunQueuedFirmwareCommands();

// One end of an update's installation: its install worker's, or its installer's exit record.
// The first end of the current update returns the updates to idle and handles the waiting
// commands; a later one, or one of an update that is no longer current, does nothing.
void EndFirmwareUpdate(UpdateId id);
