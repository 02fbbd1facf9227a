#include "platform/macos/internal/CFValues.h"

CFTypeID CFBooleanGetTypeID() { return macstandin::kBooleanTypeId; }

Boolean CFBooleanGetValue(CFBooleanRef boolean) { return boolean->value; }
