// The agent's log lines for an exception it catches and carries on after.
#pragma once

// Call only inside a catch block. A standard exception gives "<where> Exception caught: " and
// then its text on a line of its own; anything else "<where> Exception caught: <unknown>". Both
// at error level.
void LogCaughtException(const wchar_t* where, const wchar_t* unknown = L"Unknown exception");
