// What a HID report descriptor says about its top-level collections: usage and the longest
// input and output reports, counted the way the Windows HID parser reports them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mchid {

struct TopLevelCollectionCaps {
  std::uint16_t usage_page = 0;
  std::uint16_t usage = 0;
  // Longest report of the kind in bytes plus the report-ID byte (counted also when the
  // device does not number its reports); 0 when the collection has none.
  std::uint16_t input_report_length = 0;
  std::uint16_t output_report_length = 0;

  friend bool operator==(const TopLevelCollectionCaps&, const TopLevelCollectionCaps&) = default;
};

// The top-level collections in descriptor order; empty when the descriptor is malformed
// (truncated item, unbalanced collection or push/pop, report ID 0, a report too long).
std::vector<TopLevelCollectionCaps> ParseReportDescriptor(const std::uint8_t* data,
                                                          std::size_t size);

}  // namespace mchid
