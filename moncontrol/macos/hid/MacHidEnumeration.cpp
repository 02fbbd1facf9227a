// Enumeration through one stored HID manager, which freeing an enumeration releases.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "moncontrol/hid/DeviceInfoList.h"
#include "moncontrol/hid/HidApi.h"
#include "moncontrol/macos/hid/MacHidProperties.h"
#include "platform/macos/IOKitHid.h"

namespace mchid {
namespace {

std::mutex g_enumerationMutex;
IOHIDManagerRef g_manager = nullptr;  // under g_enumerationMutex

void ReleaseManager() {
  if (g_manager) CFRelease(g_manager);
  g_manager = nullptr;
}

bool InitManager() {
  if (g_manager && CFGetTypeID(g_manager) != IOHIDManagerGetTypeID()) ReleaseManager();
  if (g_manager == nullptr) {
    g_manager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    if (g_manager == nullptr) return false;
    IOHIDManagerSetDeviceMatching(g_manager, nullptr);
  }
  return true;
}

// Lets what is already due on the calling thread's run loop happen before the snapshot.
void ProcessPendingEvents() {
  CFRunLoopRunResult result;
  do {
    result = CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.001, false);
  } while (result != kCFRunLoopRunFinished && result != kCFRunLoopRunTimedOut);
}

char* RegistryPath(IOHIDDeviceRef device) {
  io_string_t path;
  if (IORegistryEntryGetPath(IOHIDDeviceGetService(device), kIOServicePlane, path) != kIOReturnSuccess) path[0] = '\0';
  return strdup(path);
}

hid_device_info* MakeRecord(IOHIDDeviceRef device) {
  auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
  if (info == nullptr) return nullptr;
  info->path = RegistryPath(device);
  info->vendor_id = static_cast<unsigned short>(NumberProperty(device, CFSTR(kIOHIDVendorIDKey)));
  info->product_id = static_cast<unsigned short>(NumberProperty(device, CFSTR(kIOHIDProductIDKey)));
  info->serial_number = DuplicateWide(WideProperty(device, CFSTR(kIOHIDSerialNumberKey)));
  info->release_number = static_cast<unsigned short>(NumberProperty(device, CFSTR(kIOHIDVersionNumberKey)));
  info->manufacturer_string = DuplicateWide(WideProperty(device, CFSTR(kIOHIDManufacturerKey)));
  info->product_string = DuplicateWide(WideProperty(device, CFSTR(kIOHIDProductKey)));
  info->usage_page = static_cast<unsigned short>(NumberProperty(device, CFSTR(kIOHIDPrimaryUsagePageKey)));
  info->usage = static_cast<unsigned short>(NumberProperty(device, CFSTR(kIOHIDPrimaryUsageKey)));
  // The platform has no interface numbers, and the report lengths are not read from the device.
  info->interface_number = -1;
  return info;
}

bool Fits(IOHIDDeviceRef device, unsigned short vendorId, unsigned short productId) {
  auto id = [device](CFStringRef key) { return static_cast<unsigned short>(NumberProperty(device, key)); };
  return (vendorId == 0 || id(CFSTR(kIOHIDVendorIDKey)) == vendorId) &&
         (productId == 0 || id(CFSTR(kIOHIDProductIDKey)) == productId);
}

}  // namespace

int hid_init() {
  std::lock_guard lock(g_enumerationMutex);
  return InitManager() ? 0 : -1;
}

int hid_exit() {
  std::lock_guard lock(g_enumerationMutex);
  ReleaseManager();
  return 0;
}

hid_device_info* hid_enumerate(unsigned short vendorId, unsigned short productId) {
  std::lock_guard lock(g_enumerationMutex);
  if (!InitManager()) return nullptr;
  ProcessPendingEvents();
  IOHIDManagerSetDeviceMatching(g_manager, nullptr);
  CFSetRef snapshot = IOHIDManagerCopyDevices(g_manager);
  if (snapshot == nullptr) return nullptr;
  std::vector<const void*> devices(static_cast<std::size_t>(CFSetGetCount(snapshot)));
  CFSetGetValues(snapshot, devices.data());
  hid_device_info* head = nullptr;
  hid_device_info** tail = &head;
  for (const void* value : devices) {
    auto device = static_cast<IOHIDDeviceRef>(const_cast<void*>(value));
    if (!Fits(device, vendorId, productId)) continue;
    if (hid_device_info* info = MakeRecord(device)) {
      *tail = info;
      tail = &info->next;
    }
  }
  CFRelease(snapshot);
  return head;
}

void hid_free_enumeration(hid_device_info* devices) {
  std::lock_guard lock(g_enumerationMutex);
  FreeDeviceInfoList(devices);
  ReleaseManager();
}

}  // namespace mchid
