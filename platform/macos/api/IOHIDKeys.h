// Names of HID device properties, report types and open options.
#pragma once

#include "platform/macos/api/IOKitLib.h"

#define kIOHIDVendorIDKey "VendorID"
#define kIOHIDProductIDKey "ProductID"
#define kIOHIDVersionNumberKey "VersionNumber"
#define kIOHIDSerialNumberKey "SerialNumber"
#define kIOHIDManufacturerKey "Manufacturer"
#define kIOHIDProductKey "Product"
#define kIOHIDPrimaryUsagePageKey "PrimaryUsagePage"
#define kIOHIDPrimaryUsageKey "PrimaryUsage"
#define kIOHIDMaxInputReportSizeKey "MaxInputReportSize"
#define kIOHIDMaxOutputReportSizeKey "MaxOutputReportSize"

enum IOHIDReportType {
  kIOHIDReportTypeInput = 0,
  kIOHIDReportTypeOutput,
  kIOHIDReportTypeFeature,
  kIOHIDReportTypeCount,
};

inline constexpr IOOptionBits kIOHIDOptionsTypeNone = 0;
