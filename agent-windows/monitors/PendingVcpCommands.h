// The VCP set commands the server sent, queued per monitor by the receive thread and run in one
// batch by the monitor-refresh thread, which then reports the batch as "VcpState".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "agent-windows/monitors/PendingVcpCommand.h"

// Queues the six integers of command for the monitor. A queued command of the same serial and
// first integer is overwritten in place instead, keeping its time and place: a monitor has at
// most one queued 0xF8 command, whatever its sub-code. Code 4 (factory reset) marks the monitor
// for a full report at once. Takes the registry lock inside the queue's lock.
void addChangeVcpCode(std::string serial, const std::int32_t* command);

// Every queued command, oldest first; none stays queued.
std::vector<PendingVcpCommand> TakePendingCommands();

// Runs the queued commands of the registered monitors under "Global\HalvaneSDK", each followed
// by its settle delay, refreshes the device-mutex word of every monitor touched and queues one
// "VcpState" message listing the commands tried. Without the mutex or without registered
// monitors the commands are dropped unreported. Monitor-refresh thread only.
void RunCacheCommand();

// Milliseconds a monitor needs after the set of (code, second integer) before the next request.
std::int32_t SettleDelay(std::int32_t code, std::int32_t second);
