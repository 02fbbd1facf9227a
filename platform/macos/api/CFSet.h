// CFSet: an unordered collection of CF objects, here the devices a HID manager matched.
#pragma once

#include "platform/macos/api/CFBase.h"

using CFSetRef = const struct CFSetObject*;

CFIndex CFSetGetCount(CFSetRef set);
// values must hold CFSetGetCount elements; they are not retained for the caller.
void CFSetGetValues(CFSetRef set, const void** values);
