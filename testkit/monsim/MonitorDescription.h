// What a simulated monitor is: its identity on USB, its HID collections, and the display
// state behind them (VCP values, capability string, monitors chained behind it, the I2C bus
// and the function calls).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testkit/monsim/vendor/VendorState.h"

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
  // The maker's extended page by sub-feature code: VCP 0xF8 selects one, VCP 0xF7 reads or
  // writes it. Empty: the display has no such page.
  std::map<std::uint16_t, VcpValue> extended;
  VendorState vendor;
};

// The monitor's internal I2C bus: each slave address's registers, from offset 0.
using IicRegisters = std::map<std::uint32_t, std::vector<std::uint8_t>>;

// How the host sends a function's calls.
enum class FunctionTransfer {
  Whole,    // one request, one reply
  Split,    // in chunks that the monitor puts back together before it takes the call
  NoReply,  // one request, never answered
};

// A function call as the monitor takes it: a split transfer's chunks put back together, the
// last chunk's parameters.
struct FunctionCall {
  std::uint32_t code = 0;
  std::uint32_t param2 = 0;
  std::uint32_t param3 = 0;
  std::uint32_t param4 = 0;
  std::vector<std::uint8_t> data;
};

struct FunctionDefinition {
  FunctionTransfer transfer = FunctionTransfer::Whole;
  // Returned in the reply; a parameter without a value returns the call's own.
  std::optional<std::uint32_t> param2;
  std::optional<std::uint32_t> param3;
  std::optional<std::uint32_t> param4;
  std::vector<std::uint8_t> data;
};

inline FunctionDefinition FunctionAnswering(std::vector<std::uint8_t> data,
                                            FunctionTransfer transfer = FunctionTransfer::Whole) {
  FunctionDefinition definition;
  definition.transfer = transfer;
  definition.data = std::move(data);
  return definition;
}

// Functions every monitor answers: its control firmware's version (4 bytes, little-endian),
// the hot-plug status (4 bytes) and the G-sensor status (16 bytes).
inline constexpr std::uint32_t kFunctionMonCtrlVersion = 6;
inline constexpr std::uint32_t kFunctionHpdStatus = 32;
inline constexpr std::uint32_t kFunctionGsensorStatus = 33;

struct Functions {
  std::map<std::uint32_t, FunctionDefinition> definitions{
      {kFunctionMonCtrlVersion, FunctionAnswering({0x04, 0x03, 0x02, 0x01})},
      {kFunctionHpdStatus, FunctionAnswering({0x01, 0x00, 0x00, 0x00})},
      {kFunctionGsensorStatus, FunctionAnswering(std::vector<std::uint8_t>(16))},
  };
  std::vector<FunctionCall> calls;       // every call taken, in order
  std::optional<FunctionCall> transfer;  // the split transfer under way: its first chunk's call, the data so far
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
  IicRegisters iic;
  Functions functions;
};

}  // namespace monsim
