// The table transfers: the vendor tables read by key (monitor information, child devices)
// and written by key, and the tables that ReadTable and WriteTable move by VCP code.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "testkit/monsim/vendor/VendorState.h"

namespace monsim {

inline constexpr std::uint8_t kOpTableWrite = 0xE7;

// 51 86 CE key childIndex monitorIndex offsetHigh offsetLow chk, from the monitor's state;
// null for a monitor index that nothing answers to. The chunk at the offset:
// 6E len CE key offsetHigh offsetLow data chk, without data past the table's end.
std::vector<std::uint8_t> AnswerVendorTableRead(const std::vector<std::uint8_t>& frame, const VendorState* monitor);
// 51 80|n CE key arg1 arg2 offsetHigh offsetLow data, zeros, chk (32 bytes, n at most 23):
// placed in vendorWrites, acknowledged with 6E 82 CE key chk. Nothing for a frame that does
// not hold its data.
std::optional<std::vector<std::uint8_t>> AnswerVendorTableWrite(const std::vector<std::uint8_t>& frame,
                                                                VendorState& state);
// ReadTable's 51 83 CE vcp arg2 arg3 offsetHigh offsetLow chk: 6E count CE data chk, the
// count a plain byte, 0 past the table's end.
std::vector<std::uint8_t> AnswerTableRead(const std::vector<std::uint8_t>& frame, const VendorState& state);
// WriteTable's 6F n E7 vcp offsetHigh offsetLow data chk (n at most 32): placed in tables,
// acknowledged without data. Nothing for a frame whose length does not match n.
std::optional<std::vector<std::uint8_t>> AnswerTableWrite(const std::vector<std::uint8_t>& frame, VendorState& state);

}  // namespace monsim
