// The HID manager: the set of HID devices that match its criteria.
#pragma once

#include "platform/macos/api/CFSet.h"
#include "platform/macos/api/IOKitLib.h"

using IOHIDManagerRef = struct IOHIDManagerObject*;
// Matching dictionaries are not modelled: only null (every device) is passed here.
using CFDictionaryRef = const struct CFDictionaryObject*;

CFTypeID IOHIDManagerGetTypeID();
IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef allocator, IOOptionBits options);
void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, CFDictionaryRef matching);
// The devices present now (the same device object for a device while the manager lives);
// null before any matching was set. The caller releases the set.
CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager);
