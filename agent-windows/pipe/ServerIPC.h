// The server end of the installer's progress pipe "\\.\pipe\pipeHalvane": one thread of the
// highest priority that serves one installer at a time and hands each record it reads to the
// record handler.
#pragma once

#include <cstdint>

#include "agent-windows/pipe/InstallerProgressMessage.h"

using InstallerMessageHandler = void (*)(const InstallerProgressMessage& message);

// Stores the handler (replacing an earlier one) and starts the pipe thread.
void StartServerIPC(InstallerMessageHandler handler);
// Lets the pipe thread end once its current wait for an installer or its current connection
// is over; waits for nothing. Always true.
bool ExitSeverIPC();

// Waits, at most limitMs, until no installer is connected. An installer writes its last records
// and ends at once; whoever learns of its end waits for those records to be handled first.
void WaitForInstallerToLeave(std::uint32_t limitMs);
