// The one header through which the macOS HID code reaches CoreFoundation and IOKit.
// On macOS it is the real SDK; here it is the stand-in layer of this folder, which declares
// exactly the calls that code makes.
#pragma once

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/hid/IOHIDDevice.h>
#include <IOKit/hid/IOHIDKeys.h>
#include <IOKit/hid/IOHIDManager.h>
#else
#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFString.h"
#include "platform/macos/api/CFNumber.h"
#include "platform/macos/api/CFSet.h"
#include "platform/macos/api/CFRunLoop.h"
#include "platform/macos/api/IOKitLib.h"
#include "platform/macos/api/IOHIDKeys.h"
#include "platform/macos/api/IOHIDManager.h"
#include "platform/macos/api/IOHIDDevice.h"
#endif
