// How the monitor sends a reply or message: the first input report carries the header and up
// to 32 payload bytes, later ones the raw rest; each report is padded to its full length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace monsim {

// inputReportLength counts the report-ID byte, which the reader never sees.
std::vector<std::vector<std::uint8_t>> SplitIntoInputReports(const std::vector<std::uint8_t>& message,
                                                             std::size_t inputReportLength);

}  // namespace monsim
