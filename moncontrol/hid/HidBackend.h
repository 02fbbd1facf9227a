// What a HID backend provides to the access layer: the collections it sees and, per open
// collection, raw report I/O. Padding, matching and list building live in the layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mchid {

struct HidCollection {
  std::string path;
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::optional<std::wstring> serial_number;
  std::uint16_t release_number = 0;
  std::optional<std::wstring> manufacturer_string;
  std::optional<std::wstring> product_string;
  std::uint16_t usage_page = 0;
  std::uint16_t usage = 0;
  std::int32_t interface_number = -1;
  std::uint16_t input_report_length = 0;   // report-ID byte included
  std::uint16_t output_report_length = 0;  // report-ID byte included
};

class HidConnection {
 public:
  virtual ~HidConnection() = default;
  // One output report; data[0] is the report ID. Bytes written, or -1.
  virtual int WriteReport(const unsigned char* data, std::size_t length) = 0;
  // One input report without its report ID 0; bytes stored (at most length), 0 on time-out,
  // -1 on error. milliseconds -1 waits without limit.
  virtual int ReadReport(unsigned char* data, std::size_t length, int milliseconds) = 0;
  virtual int SendFeatureReport(const unsigned char* data, std::size_t length) = 0;
  virtual int GetFeatureReport(unsigned char* data, std::size_t length) = 0;
  // data[0] holds the report ID on entry.
  virtual bool GetInputReport(unsigned char* data, std::size_t length) = 0;
  virtual bool SetOutputReport(const unsigned char* data, std::size_t length) = 0;
  virtual const HidCollection& Collection() const = 0;
  // The system's handle of the open device (a file descriptor for hidraw), -1 when none.
  virtual long long SystemHandle() const = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // 0 for an ID matches any.
  virtual std::vector<HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
  virtual std::unique_ptr<HidConnection> OpenPath(const std::string& path) = 0;
};

// Installs the backend the layer uses (null restores the default choice).
void SetHidBackend(std::shared_ptr<HidBackend> backend);
std::shared_ptr<HidBackend> CurrentHidBackend();

}  // namespace mchid
