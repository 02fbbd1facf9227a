// A HID device: its properties, reports, and the callbacks it delivers on a run loop.
//
// Reports of ID 0 travel without an ID byte; a report with another ID carries it in its first
// byte, in both directions.
#pragma once

#include <cstdint>

#include "platform/macos/api/CFRunLoop.h"
#include "platform/macos/api/CFString.h"
#include "platform/macos/api/IOHIDKeys.h"
#include "platform/macos/api/IOKitLib.h"

using IOHIDDeviceRef = struct IOHIDDeviceObject*;

using IOHIDCallback = void (*)(void* context, IOReturn result, void* sender);
using IOHIDReportCallback = void (*)(void* context, IOReturn result, void* sender, IOHIDReportType type,
                                     uint32_t reportID, uint8_t* report, CFIndex reportLength);

IOHIDDeviceRef IOHIDDeviceCreate(CFAllocatorRef allocator, io_service_t service);
// Not retained for the caller.
io_service_t IOHIDDeviceGetService(IOHIDDeviceRef device);
// A CFNumber or CFString owned by the device; null when the device lacks the property.
CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key);
IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits options);
IOReturn IOHIDDeviceClose(IOHIDDeviceRef device, IOOptionBits options);
IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength);
// pReportLength holds the buffer's size on entry and the report's length on return.
IOReturn IOHIDDeviceGetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              uint8_t* report, CFIndex* pReportLength);
// Input reports reach callback on the run loop the device is scheduled on, copied into report
// (at most reportLength bytes), while the device is open. A null callback unregisters.
void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context);
// Called on the scheduled run loop once the device has gone away.
void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context);
void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);
void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);
