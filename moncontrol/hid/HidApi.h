// The HID access layer: the hidapi API with the library's additions (report lengths in the
// enumeration record, an interface argument of hid_open, report get/set, the handle accessor).
// It lives in its own namespace because the system's hidapi owns the C names in this process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mchid {

struct hid_device_info {
  char* path;
  unsigned short vendor_id;
  unsigned short product_id;
  wchar_t* serial_number;
  unsigned short release_number;
  wchar_t* manufacturer_string;
  wchar_t* product_string;
  unsigned short usage_page;
  unsigned short usage;
  int interface_number;
  unsigned short input_report_length;
  unsigned short output_report_length;
  hid_device_info* next;
};

struct hid_device_;
using hid_device = hid_device_;

int hid_init();
int hid_exit();
hid_device_info* hid_enumerate(unsigned short vendorId, unsigned short productId);
void hid_free_enumeration(hid_device_info* devices);
// Opens the first enumerated collection whose vendor and product equal the arguments, whose
// serial number equals serial (a null serial matches every collection, a collection without
// serial number never matches a given one) and, unless interfaceNumber is -1, whose interface
// number equals it. Null when nothing matches, interfaceNumber is below -1, or opening fails.
// macOS has no interface numbers: there the argument is ignored and the first match opens.
hid_device* hid_open(unsigned short vendorId, unsigned short productId, const wchar_t* serial,
                     int interfaceNumber);
hid_device* hid_open_path(const char* path);
void hid_close(hid_device* device);

// Writes one output report: a shorter buffer is padded with zeros to the report length and
// a longer one sends its first report only. Returns the report length, or -1. On macOS a
// leading report ID 0 is not sent, the rest is padded to the device's largest output report,
// and the result is the length asked for.
int hid_write(hid_device* device, const unsigned char* data, std::size_t length);
int hid_read_timeout(hid_device* device, unsigned char* data, std::size_t length, int milliseconds);
int hid_read(hid_device* device, unsigned char* data, std::size_t length);
int hid_set_nonblocking(hid_device* device, int nonblock);
int hid_send_feature_report(hid_device* device, const unsigned char* data, std::size_t length);
int hid_get_feature_report(hid_device* device, unsigned char* data, std::size_t length);
int hid_get_manufacturer_string(hid_device* device, wchar_t* string, std::size_t maxlen);
int hid_get_product_string(hid_device* device, wchar_t* string, std::size_t maxlen);
int hid_get_serial_number_string(hid_device* device, wchar_t* string, std::size_t maxlen);
int hid_get_indexed_string(hid_device* device, int stringIndex, wchar_t* string, std::size_t maxlen);
const wchar_t* hid_error(hid_device* device);

#if defined(TARVIK_MACOS)
// Reads an input report with this report ID into buffer: the bytes read, or -1.
int hid_get_report(hid_device* device, int reportId, unsigned char* buffer, std::size_t length);
// Writes data as an output report with this report ID (its low 8 bits): length, or -1.
int hid_set_report(hid_device* device, int reportId, const unsigned char* data, std::size_t length);
#else
inline constexpr int kHidFeatureReport = 3;

// Asks the device for input report reportId (stored in buffer[0]) of length bytes.
// Non-zero on success.
unsigned char hid_get_report(hid_device* device, unsigned char reportId, unsigned char* buffer,
                             std::size_t length);
// Sends buffer (report ID first) as a feature report for kHidFeatureReport, as an output
// report for any other type. Non-zero on success.
unsigned char hid_set_report(hid_device* device, int reportType, const unsigned char* buffer,
                             std::size_t length);
// The system's handle of the open device (a file descriptor here), -1 for none.
long long hid_get_handle(hid_device* device);
#endif

}  // namespace mchid
