// Starting other programs from the agent.
#pragma once

#include <string>

// Starts the program in the console user's session under this process's own account, with a
// console of its own, and with wait blocks until it ends. True when it was started and its exit
// code could be read; the exit code itself is not reported.
bool StartProcessAsSystem(const std::wstring& executable, const std::wstring& parameters, bool wait);
// Starts the program in the caller's session without waiting; hidden unless show. True when it
// was started.
bool LaunchProcess(const std::wstring& path, const std::wstring& parameters, bool show);
