// What the agent does with the installer's progress records: the installation's start and end,
// progress and failure reports to the server, and the next queued update once the installer's
// run is over.
#pragma once

#include <cstdint>
#include <string>

#include "agent-windows/pipe/InstallerProgressMessage.h"

// The exit code by which an installer says that its run is over and the next update may start.
inline constexpr std::int32_t kInstallerRunOver = 8888;

// An installer has connected to the pipe: its records report for the update whose installer
// was started last, while that update is being handled.
void OnInstallerConnected();

// Dispatches on the record's type; any type but 1 to 4 is ignored.
void OnInstallerMessage(const InstallerProgressMessage& message);

void StartInstall();
// A percentage that is not a number from 0 to 100 is logged as an error and reported to
// nobody.
void InstallProcessing(const std::wstring& text, float percent);
void EndIntall();
void InstallExit(std::int32_t code, const std::wstring& text);
