#include "platform/macos/internal/HidDevice.h"
#include "platform/macos/internal/Registry.h"

IOHIDDeviceRef IOHIDDeviceCreate(CFAllocatorRef, io_service_t service) {
  auto collection = macstandin::RegistryEntryCollection(service);
  if (!collection) return nullptr;
  macstandin::RetainRegistryEntry(service);
  return new IOHIDDeviceObject(service, std::move(*collection));
}

io_service_t IOHIDDeviceGetService(IOHIDDeviceRef device) { return device->Service(); }

CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key) { return device->Property(key); }

IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits) { return device->Open(); }

IOReturn IOHIDDeviceClose(IOHIDDeviceRef device, IOOptionBits) { return device->Close(); }

IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength) {
  return device->SetReport(reportType, reportID, report, reportLength);
}

IOReturn IOHIDDeviceGetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID, uint8_t* report,
                              CFIndex* pReportLength) {
  return device->GetReport(reportType, reportID, report, pReportLength);
}

void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context) {
  device->RegisterInputReportCallback(report, reportLength, callback, context);
}

void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context) {
  device->RegisterRemovalCallback(callback, context);
}

void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef) {
  device->Schedule(runLoop);
}

void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef) {
  device->Unschedule(runLoop);
}
