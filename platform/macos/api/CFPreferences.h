// CFPreferences: reading an application's preferences, managed ones first, and writing the
// user's own.
#pragma once

#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFString.h"

// The domain of the running program: here its executable's base name.
extern const CFStringRef kCFPreferencesCurrentApplication;

// The value of key in applicationID's domain, which the caller releases; NULL when neither a
// preference file of the domain nor a change this process set holds it. Managed values come
// first, then this process's changes not yet synchronized, then the user's own file. The files
// are read on every call, so changes other processes make are seen at once.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);
// Sets key in the user's own preferences of applicationID (value NULL removes it); the change
// reaches the file, and so other processes, at the next CFPreferencesAppSynchronize.
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);
// Writes the changes set for applicationID into its file, merged with what other processes wrote
// meanwhile; false when the file cannot be written (the changes are kept for the next call) or a
// value was no property list (that change is dropped, the others are written).
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);
