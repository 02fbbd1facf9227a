#include "platform/macos/internal/CFValues.h"

CFTypeID CFDateGetTypeID() { return macstandin::kDateTypeId; }
