// IOKit's registry: objects named by ports, found by their path in a plane; and the
// notifications of services that appear and go.
#pragma once

#include "platform/macos/api/CFBase.h"
#include "platform/macos/api/CFDictionary.h"
#include "platform/macos/api/CFRunLoop.h"

using mach_port_t = unsigned int;
using kern_return_t = int;
using io_object_t = mach_port_t;
using io_registry_entry_t = io_object_t;
using io_service_t = io_object_t;
using io_iterator_t = io_object_t;
using io_name_t = char[128];
using io_string_t = char[512];
using IOReturn = kern_return_t;
using IOOptionBits = UInt32;

#define MACH_PORT_NULL 0
#define IO_OBJECT_NULL 0
#define kIOServicePlane "IOService"

inline constexpr mach_port_t kIOMainPortDefault = MACH_PORT_NULL;
inline constexpr mach_port_t kIOMasterPortDefault = kIOMainPortDefault;

#define kIOFirstMatchNotification "IOServiceFirstMatch"
#define kIOTerminatedNotification "IOServiceTerminate"

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xe00002bc);
inline constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xe00002c0);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xe00002c2);
inline constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xe00002cd);

// The entry at path ("IOService:/..."), which the caller releases; IO_OBJECT_NULL when none.
io_registry_entry_t IORegistryEntryFromPath(mach_port_t mainPort, const io_string_t path);
kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const io_name_t plane, io_string_t path);
kern_return_t IOObjectRelease(io_object_t object);

// Notifications of services matching a dictionary, delivered through a port whose run-loop
// source the loop it is added to serves. Here the services are USB devices (class
// "IOUSBDevice"): monsim's monitors as it plugs and unplugs them, and any other device a test
// announces, across the processes of the machine.
using IONotificationPortRef = struct IONotificationPortObject*;
using IOServiceMatchingCallback = void (*)(void* refcon, io_iterator_t iterator);

IONotificationPortRef IONotificationPortCreate(mach_port_t mainPort);
// Ends the port's notifications; their iterators stay valid until released. Once it returns no
// callback of the port runs: one running on another thread is waited for, and called from a
// callback of the port it skips those still due.
void IONotificationPortDestroy(IONotificationPortRef notify);
// Owned by the port; the caller does not release it.
CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify);
// {"IOProviderClass": name}, which the caller releases or hands on.
CFMutableDictionaryRef IOServiceMatching(const char* name);
// Consumes one reference of matching. The iterator first holds the services that match now
// (for kIOFirstMatchNotification the present ones, for kIOTerminatedNotification none); it is
// armed only once drained, and callback then runs on the port's loop when it holds new ones.
kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef notifyPort, const io_name_t notificationType,
                                               CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                               void* refCon, io_iterator_t* notification);
// The iterator's next service, which the caller releases; IO_OBJECT_NULL when it holds none.
io_object_t IOIteratorNext(io_iterator_t iterator);
