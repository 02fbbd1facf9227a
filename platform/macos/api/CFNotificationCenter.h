// CFNotificationCenter: the local centre, through which one part of a process tells the others
// that something happened, and the distributed centre, through which processes of the machine
// tell each other.
#pragma once

#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFDictionary.h"

using CFNotificationCenterRef = struct CFNotificationCenterObject*;
using CFNotificationName = CFStringRef;
using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer, CFNotificationName name,
                                        const void* object, CFDictionaryRef userInfo);

// The local centre is never suspended, so it delivers at once whatever an observer asked for.
enum CFNotificationSuspensionBehavior : CFIndex {
  CFNotificationSuspensionBehaviorDrop = 1,
  CFNotificationSuspensionBehaviorCoalesce = 2,
  CFNotificationSuspensionBehaviorHold = 3,
  CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

// The process's one local centre; the caller does not release it.
CFNotificationCenterRef CFNotificationCenterGetLocalCenter();
// The machine's distributed centre as this process sees it; the caller does not release it.
// A post reaches the observers of every process of the machine (this one included); they run on
// their process's main run loop. There the object is a string (or NULL) and the userInfo a
// property list, both compared and carried by value; anything else is not sent, and what
// arrives from the machine in another shape is dropped. The process listens while it has
// observers here.
CFNotificationCenterRef CFNotificationCenterGetDistributedCenter();
// callBack runs for each notification named name (NULL: any name, compared by text) posted with
// object (NULL: any object; compared by address in the local centre, by text in the
// distributed one).
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callBack, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
// Ends the observer's registrations for name and object, NULL standing for every one. Waits for
// their callbacks running on other threads, not for one that is running on this thread; once it
// returns, none of them runs again.
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer,
                                        CFNotificationName name, const void* object);
// Local centre: runs every matching callback on the calling thread, in the order they were
// added, before it returns; userInfo (NULL allowed) goes to them as it is.
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFNotificationName name,
                                          const void* object, CFDictionaryRef userInfo, Boolean deliverImmediately);
