// SCDynamicStore: the system configuration store, here only the computer's name.
#pragma once

#include "platform/macos/api/CFString.h"

using SCDynamicStoreRef = const struct SCDynamicStoreObject*;

// The computer's name, which the caller releases; NULL when the system has none. store may be
// NULL; nameEncoding, when not NULL, receives the encoding the name is best kept in.
// TARVIK_MAC_COMPUTER_NAME stands for the name set in the system's settings (set but empty:
// none); without it the machine's host name is the name.
CFStringRef SCDynamicStoreCopyComputerName(SCDynamicStoreRef store, CFStringEncoding* nameEncoding);
