// The handler of every message the server sends.
#pragma once

#include <string>

// Answers a "cmdid" with "ok" first, then acts on "type". Raises nothing: a malformed message
// is logged and dropped, and what was done before the fault stands.
void ParseControlCmd(const std::string& text);
