// The computer's name.
#pragma once

#include <string>

// The NetBIOS name (at most 15 characters) in the ANSI code page, unconverted; empty after an
// error line when the system cannot tell it.
std::string GetComputerNameString();
