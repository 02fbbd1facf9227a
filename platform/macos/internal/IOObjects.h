// The ports that name IOKit objects: registry entries, and the iterators of matching
// notifications with the services they hand out. One numbering, so IOObjectRelease can tell
// them apart.
#pragma once

#include "platform/macos/api/IOKitLib.h"

namespace macstandin {

io_object_t NewObjectPort();
// Releases a notification iterator or a service it handed out; false when object is neither.
bool ReleaseNotificationObject(io_object_t object);

}  // namespace macstandin
