// IOKit's registry: objects named by ports, found by their path in a plane.
#pragma once

#include "platform/macos/api/CFBase.h"

using mach_port_t = unsigned int;
using kern_return_t = int;
using io_object_t = mach_port_t;
using io_registry_entry_t = io_object_t;
using io_service_t = io_object_t;
using io_name_t = char[128];
using io_string_t = char[512];
using IOReturn = kern_return_t;
using IOOptionBits = UInt32;

#define MACH_PORT_NULL 0
#define IO_OBJECT_NULL 0
#define kIOServicePlane "IOService"

inline constexpr mach_port_t kIOMainPortDefault = MACH_PORT_NULL;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xe00002bc);
inline constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xe00002c0);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xe00002c2);
inline constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xe00002cd);

// The entry at path ("IOService:/..."), which the caller releases; IO_OBJECT_NULL when none.
io_registry_entry_t IORegistryEntryFromPath(mach_port_t mainPort, const io_string_t path);
kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const io_name_t plane, io_string_t path);
kern_return_t IOObjectRelease(io_object_t object);
