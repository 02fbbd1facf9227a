// The one header through which the macOS code reaches libdispatch. On macOS it is the real
// SDK; here it is the stand-in layer of this folder, which declares exactly the calls that
// code makes.
#pragma once

#ifdef __APPLE__
#include <dispatch/dispatch.h>
#else
#include "platform/macos/api/Dispatch.h"
#endif
