// The handler of every message the server sends.
#pragma once

#include <string>

// Answers a "cmdid" with "ok" first, then acts on "type". Raises nothing: a malformed message
// is logged and dropped, and what was done before the fault stands.
// A firmware-update command that ends without an installer lets the next waiting one start.
void ParseControlCmd(const std::string& text);

// Handles the waiting firmware-update commands, oldest first, until one is accepted and
// left running or none waits. For whoever returns the updates to idle.
void RunQueuedFirmwareCommands();
