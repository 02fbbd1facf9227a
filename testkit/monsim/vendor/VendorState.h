// What a display answers to the maker's vendor commands: its status, its information tables,
// the tables a host reads and writes, and the answers of its firmware-update and daisy-chain
// functions. The monitor answers for the monitors chained behind it by monitor index: 0 is
// itself, any other the monitor chained at that port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace monsim {

// A vendor table chunk's length byte holds 0x80 | (4 + data bytes).
inline constexpr std::size_t kMaxTableChunk = 0x7F - 4;

struct VendorState {
  std::uint8_t status = 0;
  // The monitor-information table (EncodeMonitorInfo); empty: the monitor has none.
  std::vector<std::uint8_t> monitorInfo;
  // The child-device tables (EncodeChildDevice) by child index.
  std::vector<std::vector<std::uint8_t>> childInfo;
  // Table bytes in each chunk it sends, 1 to kMaxTableChunk.
  std::size_t tableChunk = 16;
  // By VCP code: what WriteTable wrote and ReadTable reads. A write at offset 0 starts afresh.
  std::map<std::uint8_t, std::vector<std::uint8_t>> tables;
  // The vendor table writes by key, placed by their offsets.
  std::map<std::uint8_t, std::vector<std::uint8_t>> vendorWrites;
  // The answer to the notice that every firmware transfer finished.
  std::uint8_t fwTransferResult = 1;
  // The result byte of each of the four daisy-chain steps.
  std::array<std::uint8_t, 4> daisyChainResults{1, 1, 1, 1};
};

}  // namespace monsim
