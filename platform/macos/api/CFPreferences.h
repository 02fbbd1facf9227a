// CFPreferences: reading an application's preferences, managed ones first.
#pragma once

#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFString.h"

// The domain of the running program: here its executable's base name.
extern const CFStringRef kCFPreferencesCurrentApplication;

// The value of key in applicationID's domain, which the caller releases; NULL when no
// preference file of the domain holds it. The files are read on every call, so changes other
// processes make are seen at once.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
