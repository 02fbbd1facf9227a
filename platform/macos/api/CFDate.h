// CFDate: a point in time, as a property list's date values arrive.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFDateRef = const struct CFDateObject*;

CFTypeID CFDateGetTypeID();
