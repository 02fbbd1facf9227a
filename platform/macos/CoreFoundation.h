// The one header through which the macOS code reaches CoreFoundation: strings, numbers,
// collections, property lists, preferences, the run loop and notifications. On macOS it is the
// real SDK; here it is the stand-in layer of this folder, which declares exactly the calls that
// code makes.
#pragma once

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>
#else
#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFString.h"
#include "platform/macos/api/CFNumber.h"
#include "platform/macos/api/CFData.h"
#include "platform/macos/api/CFDate.h"
#include "platform/macos/api/CFArray.h"
#include "platform/macos/api/CFDictionary.h"
#include "platform/macos/api/CFError.h"
#include "platform/macos/api/CFPropertyList.h"
#include "platform/macos/api/CFPreferences.h"
#include "platform/macos/api/CFRunLoop.h"
#include "platform/macos/api/CFNotificationCenter.h"
#endif
