// What a simulated monitor is: its identity on USB, its HID collections, and the display
// state behind them (VCP values, capability string, monitors chained behind it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace monsim {

inline constexpr std::uint16_t kVendorId = 0x3A71;
inline constexpr std::uint16_t kProductId = 0xF00F;
inline constexpr std::uint16_t kControlUsagePage = 0x80;
inline constexpr std::uint16_t kControlUsage = 1;
inline constexpr std::uint16_t kDefaultReportLength = 65;
// The length byte of a capability fragment holds 0x80 | (data bytes + 3).
inline constexpr std::size_t kMaxCapabilityFragment = 0x7F - 3;

struct VcpValue {
  std::uint16_t current = 0;
  std::uint16_t maximum = 100;
  std::uint8_t type = 0;  // MCCS: 0 set parameter, 1 momentary
};

struct Display {
  std::map<std::uint8_t, VcpValue> vcp;
  // Sent with its terminating NUL; none means the monitor has no capability string.
  std::optional<std::string> capabilities;
  std::size_t capabilityFragment = 32;
};

struct CollectionDescription {
  std::uint16_t usagePage = kControlUsagePage;
  std::uint16_t usage = kControlUsage;
  std::int32_t interfaceNumber = 0;
  std::uint16_t inputReportLength = kDefaultReportLength;   // report-ID byte included
  std::uint16_t outputReportLength = kDefaultReportLength;  // report-ID byte included

  bool IsControl() const { return usagePage == kControlUsagePage && usage == kControlUsage; }
};

struct MonitorDescription {
  std::string id;  // names the monitor to control commands; unique among the known monitors
  std::uint16_t vendorId = kVendorId;
  std::uint16_t productId = kProductId;
  std::uint16_t releaseNumber = 0;
  std::optional<std::wstring> serial;
  std::optional<std::wstring> manufacturer;
  std::optional<std::wstring> product;
  std::vector<CollectionDescription> collections{CollectionDescription{}};
  Display display;
  // Monitors behind this one, reached through the tunnel by port byte.
  std::map<std::uint8_t, Display> chain;
};

}  // namespace monsim
