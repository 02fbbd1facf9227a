// The one header through which the macOS code reaches SystemConfiguration, for the computer's
// name. On macOS it is the real SDK, which brings CoreFoundation with it; so does the stand-in.
#pragma once

#ifdef __APPLE__
#include <SystemConfiguration/SystemConfiguration.h>
#else
#include "platform/macos/CoreFoundation.h"
#include "platform/macos/api/SCDynamicStore.h"
#endif
