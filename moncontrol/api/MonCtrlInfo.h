// One monitor-control HID interface as the library lists it, and what marks such an
// interface on USB.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint16_t kMonCtrlVendorId = 0x3A71;
inline constexpr std::uint16_t kMonCtrlProductId = 0xF00F;
inline constexpr std::uint16_t kMonCtrlUsagePage = 0x80;
inline constexpr std::uint16_t kMonCtrlUsage = 1;

// Elements of each string field, its terminating NUL included.
inline constexpr std::size_t kMonCtrlInfoStringLength = 512;

struct tagMONCTRLINFO {
  std::uint32_t vendor_id;
  std::uint32_t product_id;
  std::uint32_t release_number;
  std::uint16_t usage_page;
  std::uint16_t usage;
  std::int32_t interface_number;  // -1 when unknown
  std::uint32_t input_report_length;
  std::uint32_t output_report_length;
  wchar_t serial_number[kMonCtrlInfoStringLength];
  wchar_t manufacturer_string[kMonCtrlInfoStringLength];
  wchar_t product_string[kMonCtrlInfoStringLength];
};

// Hosts read the records by these offsets: 2-byte wide characters on Windows, 4-byte here.
static_assert(offsetof(tagMONCTRLINFO, usage_page) == 12);
static_assert(offsetof(tagMONCTRLINFO, interface_number) == 16);
static_assert(offsetof(tagMONCTRLINFO, output_report_length) == 24);
static_assert(offsetof(tagMONCTRLINFO, serial_number) == 28);
static_assert(offsetof(tagMONCTRLINFO, manufacturer_string) == 28 + 512 * sizeof(wchar_t));
static_assert(offsetof(tagMONCTRLINFO, product_string) == 28 + 1024 * sizeof(wchar_t));
static_assert(sizeof(wchar_t) != 4 || sizeof(tagMONCTRLINFO) == 6172);
static_assert(sizeof(wchar_t) != 2 || sizeof(tagMONCTRLINFO) == 3100);
