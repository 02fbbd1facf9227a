// A device's HID report descriptor, as the HID layer reads it when it lists collections.
#include <cstddef>
#include <cstdint>

#include "moncontrol/hid/ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mchid::ParseReportDescriptor(data, size);
  return 0;
}
