#include "testkit/monsim/InputReports.h"

#include <algorithm>

#include "moncontrol/transport/CommandHeader.h"

namespace monsim {

std::vector<std::vector<std::uint8_t>> SplitIntoInputReports(const std::vector<std::uint8_t>& message,
                                                             std::size_t inputReportLength) {
  const std::size_t reportBytes = std::max<std::size_t>(inputReportLength, 2) - 1;
  std::vector<std::vector<std::uint8_t>> reports;
  std::size_t offset = 0;
  std::size_t chunk = std::min(reportBytes, kMccmdReceiveHeaderSize + kMccmdReportPayload);
  do {
    std::size_t take = std::min(chunk, message.size() - offset);
    std::vector<std::uint8_t> report(reportBytes, 0);
    std::copy_n(message.begin() + static_cast<std::ptrdiff_t>(offset), take, report.begin());
    reports.push_back(std::move(report));
    offset += take;
    chunk = reportBytes;
  } while (offset < message.size());
  return reports;
}

}  // namespace monsim
