// What every start of the agent does, then the mode its command line asks for.
#pragma once

#include <string>

// The process exit code: 1 for an empty "Server" and for a service dispatcher that could not
// start, else 0.
int RunAgent(const std::wstring& commandLine);
