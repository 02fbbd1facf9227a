// Installing the running executable as a service, and removing a service. Every line they
// log goes out at error level; their outcome is only logged.
#pragma once

#include "platform/win32/Win32.h"

// Registers the executable (its quoted path, no switch) and starts the service at once.
void InstallService(PCWSTR serviceName, PCWSTR displayName, DWORD startType, PCWSTR dependencies,
                    PCWSTR account, PCWSTR password);
// Stops the service when it runs (waiting for it a bounded time) and deletes it.
void UninstallService(PCWSTR serviceName);
