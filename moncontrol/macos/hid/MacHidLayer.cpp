// The macOS HID access layer: devices through IOKit, each with a read thread whose run loop
// queues the device's input reports for the readers.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <cwchar>

#include "moncontrol/hid/HidApi.h"
#include "moncontrol/macos/hid/MacHidDevice.h"
#include "moncontrol/macos/hid/MacHidProperties.h"

namespace mchid {
namespace {

// Room for a full-speed report when a device does not tell its input report size.
constexpr CFIndex kDefaultInputReportSize = 64;

// What went wrong on this thread where no device was at hand (opening).
thread_local std::wstring t_lastError;

void SetError(hid_device* device, const wchar_t* text) {
  std::lock_guard lock(device->mutex);
  device->lastError = text;
}

bool Disconnected(hid_device* device) {
  std::lock_guard lock(device->mutex);
  if (device->disconnected) device->lastError = L"device disconnected";
  return device->disconnected;
}

hid_device* Fail(const wchar_t* text) {
  t_lastError = text;
  return nullptr;
}

// Sends data (report ID first, an ID of 0 not transmitted) as one report, padded with zeros
// to the device's output report size; the caller's length, or -1.
int SendReport(hid_device* device, IOHIDReportType type, const unsigned char* data, std::size_t length) {
  if (device == nullptr || data == nullptr || length == 0 || length > INT_MAX) return -1;
  if (Disconnected(device)) return -1;
  const CFIndex reportId = data[0];
  std::vector<uint8_t> report(data + (reportId == 0 ? 1 : 0), data + length);
  if (report.size() < static_cast<std::size_t>(device->maxOutputReportSize)) {
    report.resize(static_cast<std::size_t>(device->maxOutputReportSize), 0);
  }
  if (IOHIDDeviceSetReport(device->device, type, reportId, report.data(), static_cast<CFIndex>(report.size())) !=
      kIOReturnSuccess) {
    SetError(device, L"the system refused the report");
    return -1;
  }
  return static_cast<int>(length);
}

int CopyStringProperty(hid_device* device, CFStringRef key, wchar_t* string, std::size_t maxlen) {
  if (device == nullptr || string == nullptr || maxlen == 0) return -1;
  string[0] = L'\0';
  std::optional<std::wstring> text = WideProperty(device->device, key);
  if (!text) {
    SetError(device, L"the device has no such string");
    return -1;
  }
  std::size_t n = std::min(text->size(), maxlen - 1);
  std::wmemcpy(string, text->c_str(), n);
  string[n] = L'\0';
  return 0;
}

}  // namespace

hid_device* hid_open(unsigned short vendorId, unsigned short productId, const wchar_t* serial, int) {
  hid_device_info* devices = hid_enumerate(vendorId, productId);
  const hid_device_info* match = devices;
  while (match && !(match->vendor_id == vendorId && match->product_id == productId &&
                    (serial == nullptr || (match->serial_number && std::wcscmp(serial, match->serial_number) == 0)))) {
    match = match->next;
  }
  hid_device* device = match ? hid_open_path(match->path) : Fail(L"no such device");
  hid_free_enumeration(devices);
  return device;
}

hid_device* hid_open_path(const char* path) {
  if (path == nullptr || std::strlen(path) >= sizeof(io_string_t)) return Fail(L"invalid device path");
  io_registry_entry_t entry = IORegistryEntryFromPath(kIOMainPortDefault, path);
  if (entry == IO_OBJECT_NULL) return Fail(L"no device at that path");
  IOHIDDeviceRef handle = IOHIDDeviceCreate(kCFAllocatorDefault, entry);
  IOObjectRelease(entry);
  if (handle == nullptr) return Fail(L"the device object cannot be made");
  if (IOHIDDeviceOpen(handle, kIOHIDOptionsTypeNone) != kIOReturnSuccess) {
    CFRelease(handle);
    return Fail(L"the device cannot be opened");
  }
  auto* device = new hid_device_;
  device->device = handle;
  device->maxInputReportSize = NumberProperty(handle, CFSTR(kIOHIDMaxInputReportSizeKey));
  device->maxOutputReportSize = NumberProperty(handle, CFSTR(kIOHIDMaxOutputReportSizeKey));
  device->inputBuffer.resize(device->maxInputReportSize > 0 ? device->maxInputReportSize : kDefaultInputReportSize);
  StartReadThread(device);
  return device;
}

void hid_close(hid_device* device) {
  if (device == nullptr) return;
  StopReadThread(device);
  IOHIDDeviceClose(device->device, kIOHIDOptionsTypeNone);
  CFRelease(device->device);
  delete device;
}

int hid_write(hid_device* device, const unsigned char* data, std::size_t length) {
  return SendReport(device, kIOHIDReportTypeOutput, data, length);
}

int hid_send_feature_report(hid_device* device, const unsigned char* data, std::size_t length) {
  return SendReport(device, kIOHIDReportTypeFeature, data, length);
}

int hid_read_timeout(hid_device* device, unsigned char* data, std::size_t length, int milliseconds) {
  if (device == nullptr || (data == nullptr && length > 0)) return -1;
  std::unique_lock lock(device->mutex);
  auto ready = [device] { return !device->reports.empty() || device->disconnected; };
  if (milliseconds < 0) {
    device->changed.wait(lock, ready);
  } else if (milliseconds > 0) {
    device->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
  }
  if (!device->reports.empty()) {
    std::vector<uint8_t> report = std::move(device->reports.front());
    device->reports.pop_front();
    std::size_t n = std::min(length, report.size());
    std::copy_n(report.begin(), n, data);
    return static_cast<int>(n);
  }
  if (device->disconnected) {
    device->lastError = L"device disconnected";
    return -1;
  }
  return 0;
}

int hid_read(hid_device* device, unsigned char* data, std::size_t length) {
  if (device == nullptr) return -1;
  return hid_read_timeout(device, data, length, device->blocking ? -1 : 0);
}

int hid_set_nonblocking(hid_device* device, int nonblock) {
  if (device == nullptr) return -1;
  device->blocking = nonblock == 0;
  return 0;
}

int hid_get_feature_report(hid_device* device, unsigned char* data, std::size_t length) {
  if (device == nullptr || data == nullptr || length == 0 || length > INT_MAX) return -1;
  if (Disconnected(device)) return -1;
  const CFIndex reportId = data[0];
  // A report of ID 0 comes without the ID byte, which stays in front of it.
  const std::size_t skipped = reportId == 0 ? 1 : 0;
  CFIndex got = static_cast<CFIndex>(length - skipped);
  if (IOHIDDeviceGetReport(device->device, kIOHIDReportTypeFeature, reportId, data + skipped, &got) !=
      kIOReturnSuccess) {
    SetError(device, L"the feature report cannot be read");
    return -1;
  }
  return static_cast<int>(got + skipped);
}

int hid_get_report(hid_device* device, int reportId, unsigned char* buffer, std::size_t length) {
  if (device == nullptr || buffer == nullptr || length == 0 || length > INT_MAX) return -1;
  if (Disconnected(device)) return -1;
  CFIndex got = static_cast<CFIndex>(length);
  if (IOHIDDeviceGetReport(device->device, kIOHIDReportTypeInput, reportId, buffer, &got) != kIOReturnSuccess) {
    SetError(device, L"the input report cannot be read");
    return -1;
  }
  return static_cast<int>(got);
}

int hid_set_report(hid_device* device, int reportId, const unsigned char* data, std::size_t length) {
  if (device == nullptr || data == nullptr || length == 0 || length > INT_MAX) return -1;
  if (Disconnected(device)) return -1;
  if (IOHIDDeviceSetReport(device->device, kIOHIDReportTypeOutput, reportId & 0xFF, data,
                           static_cast<CFIndex>(length)) != kIOReturnSuccess) {
    SetError(device, L"the system refused the report");
    return -1;
  }
  return static_cast<int>(length);
}

int hid_get_manufacturer_string(hid_device* device, wchar_t* string, std::size_t maxlen) {
  return CopyStringProperty(device, CFSTR(kIOHIDManufacturerKey), string, maxlen);
}

int hid_get_product_string(hid_device* device, wchar_t* string, std::size_t maxlen) {
  return CopyStringProperty(device, CFSTR(kIOHIDProductKey), string, maxlen);
}

int hid_get_serial_number_string(hid_device* device, wchar_t* string, std::size_t maxlen) {
  return CopyStringProperty(device, CFSTR(kIOHIDSerialNumberKey), string, maxlen);
}

int hid_get_indexed_string(hid_device* device, int, wchar_t* string, std::size_t maxlen) {
  if (device == nullptr) return -1;
  if (string && maxlen > 0) string[0] = L'\0';
  SetError(device, L"indexed strings are not available on this platform");
  return -1;
}

const wchar_t* hid_error(hid_device* device) {
  if (device == nullptr) return t_lastError.empty() ? nullptr : t_lastError.c_str();
  std::lock_guard lock(device->mutex);
  return device->lastError.empty() ? nullptr : device->lastError.c_str();
}

}  // namespace mchid
