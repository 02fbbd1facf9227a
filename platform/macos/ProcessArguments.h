// The one header through which the macOS code reaches the program's arguments outside main
// (_NSGetArgv, _NSGetArgc). On macOS it is the C runtime's own; here, the stand-in's.
#pragma once

#ifdef __APPLE__
#include <crt_externs.h>
#else
#include "platform/macos/api/CrtExterns.h"
#endif
