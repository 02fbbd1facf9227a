// The one header through which the macOS agent reaches IOKit's service notifications.
// On macOS it is the real SDK; here it is the stand-in layer of this folder.
#pragma once

#ifdef __APPLE__
#include <IOKit/IOKitLib.h>
#else
#include "platform/macos/api/IOKitLib.h"
#endif
