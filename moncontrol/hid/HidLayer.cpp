#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

#include "moncontrol/hid/DeviceInfoList.h"
#include "moncontrol/hid/HidApi.h"
#include "moncontrol/hid/HidBackend.h"
#include "moncontrol/hid/HidDevice.h"

namespace mchid {
namespace {

std::mutex g_backendMutex;
std::shared_ptr<HidBackend> g_backend;
bool g_backendChosen = false;

int CopyString(hid_device* device, const std::optional<std::wstring>& text, wchar_t* out,
               std::size_t maxlen) {
  if (device == nullptr || out == nullptr || maxlen == 0) return -1;
  std::wstring value = text.value_or(L"");
  std::size_t n = std::min(value.size(), maxlen - 1);
  std::wmemcpy(out, value.c_str(), n);
  out[n] = L'\0';
  return 0;
}

bool Matches(const hid_device_info& info, unsigned short vendorId, unsigned short productId,
             const wchar_t* serial, int interfaceNumber) {
  if (info.vendor_id != vendorId || info.product_id != productId) return false;
  if (serial && (info.serial_number == nullptr || std::wcscmp(serial, info.serial_number) != 0))
    return false;
  return interfaceNumber == -1 || info.interface_number == interfaceNumber;
}

}  // namespace

void SetHidBackend(std::shared_ptr<HidBackend> backend) {
  std::lock_guard lock(g_backendMutex);
  g_backend = std::move(backend);
  g_backendChosen = g_backend != nullptr;
}

std::shared_ptr<HidBackend> CurrentHidBackend() {
  std::lock_guard lock(g_backendMutex);
  if (!g_backendChosen) {
    g_backend = DefaultHidBackend();
    g_backendChosen = true;
  }
  return g_backend;
}

int hid_init() { return 0; }
int hid_exit() { return 0; }

hid_device_info* hid_enumerate(unsigned short vendorId, unsigned short productId) {
  auto backend = CurrentHidBackend();
  if (!backend) return nullptr;
  hid_device_info* head = nullptr;
  hid_device_info** tail = &head;
  for (const HidCollection& c : backend->Enumerate(vendorId, productId)) {
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    if (info == nullptr) break;
    info->path = strdup(c.path.c_str());
    info->vendor_id = c.vendor_id;
    info->product_id = c.product_id;
    info->serial_number = DuplicateWide(c.serial_number);
    info->release_number = c.release_number;
    info->manufacturer_string = DuplicateWide(c.manufacturer_string);
    info->product_string = DuplicateWide(c.product_string);
    info->usage_page = c.usage_page;
    info->usage = c.usage;
    info->interface_number = c.interface_number;
    info->input_report_length = c.input_report_length;
    info->output_report_length = c.output_report_length;
    *tail = info;
    tail = &info->next;
  }
  return head;
}

void hid_free_enumeration(hid_device_info* devices) {
  FreeDeviceInfoList(devices);
}

hid_device* hid_open(unsigned short vendorId, unsigned short productId, const wchar_t* serial,
                     int interfaceNumber) {
  if (interfaceNumber < -1) return nullptr;
  hid_device_info* devices = hid_enumerate(vendorId, productId);
  const hid_device_info* match = devices;
  while (match && !Matches(*match, vendorId, productId, serial, interfaceNumber)) match = match->next;
  hid_device* device = match ? hid_open_path(match->path) : nullptr;
  hid_free_enumeration(devices);
  return device;
}

hid_device* hid_open_path(const char* path) {
  if (path == nullptr) return nullptr;
  auto backend = CurrentHidBackend();
  if (!backend) return nullptr;
  auto connection = backend->OpenPath(path);
  if (!connection) return nullptr;
  auto* device = new hid_device_;
  device->systemHandle = connection->SystemHandle();
  device->connection = std::move(connection);
  device->backend = std::move(backend);
  return device;
}

void hid_close(hid_device* device) { delete device; }

int hid_write(hid_device* device, const unsigned char* data, std::size_t length) {
  if (device == nullptr || data == nullptr || length == 0) return -1;
  std::size_t reportLength = device->connection->Collection().output_report_length;
  if (reportLength == 0) reportLength = length;
  std::vector<unsigned char> report(reportLength, 0);
  std::memcpy(report.data(), data, std::min(length, reportLength));
  int written = device->connection->WriteReport(report.data(), report.size());
  if (written < 0) device->lastError = L"write failed";
  return written;
}

int hid_read_timeout(hid_device* device, unsigned char* data, std::size_t length, int milliseconds) {
  if (device == nullptr || data == nullptr) return -1;
  int read = device->connection->ReadReport(data, length, milliseconds);
  if (read < 0) device->lastError = L"read failed";
  return read;
}

int hid_read(hid_device* device, unsigned char* data, std::size_t length) {
  if (device == nullptr) return -1;
  return hid_read_timeout(device, data, length, device->nonblocking ? 0 : -1);
}

int hid_set_nonblocking(hid_device* device, int nonblock) {
  if (device == nullptr) return -1;
  device->nonblocking = nonblock != 0;
  return 0;
}

int hid_send_feature_report(hid_device* device, const unsigned char* data, std::size_t length) {
  if (device == nullptr || data == nullptr) return -1;
  return device->connection->SendFeatureReport(data, length);
}

int hid_get_feature_report(hid_device* device, unsigned char* data, std::size_t length) {
  if (device == nullptr || data == nullptr) return -1;
  return device->connection->GetFeatureReport(data, length);
}

int hid_get_manufacturer_string(hid_device* device, wchar_t* string, std::size_t maxlen) {
  if (device == nullptr) return -1;
  return CopyString(device, device->connection->Collection().manufacturer_string, string, maxlen);
}

int hid_get_product_string(hid_device* device, wchar_t* string, std::size_t maxlen) {
  if (device == nullptr) return -1;
  return CopyString(device, device->connection->Collection().product_string, string, maxlen);
}

int hid_get_serial_number_string(hid_device* device, wchar_t* string, std::size_t maxlen) {
  if (device == nullptr) return -1;
  return CopyString(device, device->connection->Collection().serial_number, string, maxlen);
}

int hid_get_indexed_string(hid_device* device, int, wchar_t* string, std::size_t maxlen) {
  if (device == nullptr || string == nullptr || maxlen == 0) return -1;
  string[0] = L'\0';
  return -1;  // string descriptors by index are not available through the backends
}

unsigned char hid_get_report(hid_device* device, unsigned char reportId, unsigned char* buffer,
                             std::size_t length) {
  if (device == nullptr || buffer == nullptr || length == 0) return 0;
  buffer[0] = reportId;
  if (device->connection->GetInputReport(buffer, length)) return 1;
  device->lastError = L"get input report failed";
  return 0;
}

unsigned char hid_set_report(hid_device* device, int reportType, const unsigned char* buffer,
                             std::size_t length) {
  if (device == nullptr || buffer == nullptr || length == 0) return 0;
  bool sent = reportType == kHidFeatureReport
                  ? device->connection->SendFeatureReport(buffer, length) >= 0
                  : device->connection->SetOutputReport(buffer, length);
  if (sent) return 1;
  device->lastError = L"set report failed";
  return 0;
}

long long hid_get_handle(hid_device* device) { return device ? device->systemHandle : -1; }

const wchar_t* hid_error(hid_device* device) {
  if (device == nullptr) return L"no device";
  return device->lastError.empty() ? nullptr : device->lastError.c_str();
}

}  // namespace mchid
