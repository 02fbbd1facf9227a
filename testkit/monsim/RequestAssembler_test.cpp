#include "testkit/monsim/RequestAssembler.h"

#include <gtest/gtest.h>

#include <numeric>

#include "moncontrol/transport/CommandHeader.h"

namespace monsim {
namespace {

std::vector<std::uint8_t> Request(std::uint32_t dataLength) {
  std::vector<std::uint8_t> bytes(kMccmdHeaderSize + dataLength);
  tagMCCMD_HEADER header{};
  header.dataLength = dataLength;
  header.cmdID = 0x1234;
  StoreMccmdHeader(header, bytes.data());
  std::iota(bytes.begin() + kMccmdHeaderSize, bytes.end(), std::uint8_t{1});
  return bytes;
}

// Splits a request into output reports of `reportLength` the way the transport writes it.
std::vector<std::vector<std::uint8_t>> Reports(const std::vector<std::uint8_t>& request, std::size_t reportLength) {
  std::vector<std::vector<std::uint8_t>> reports;
  std::size_t offset = 0;
  while (offset < request.size()) {
    std::vector<std::uint8_t> report(reportLength, 0xEE);  // padding the assembler must drop
    std::size_t skip = offset == 0 ? 0 : 1;
    if (skip) report[0] = 0;
    std::size_t take = std::min(reportLength - skip, request.size() - offset);
    std::copy_n(request.begin() + static_cast<std::ptrdiff_t>(offset), take, report.begin() + static_cast<std::ptrdiff_t>(skip));
    reports.push_back(report);
    offset += take;
  }
  return reports;
}

struct Case {
  const char* name;
  std::uint32_t dataLength;
  std::size_t reportLength;
  std::size_t reports;
};

TEST(RequestAssembler, PutsRequestsBackTogetherFromTheirReports) {
  const Case cases[] = {
      {"header only, one report", 0, 65, 1},
      {"full first report", 32, 65, 1},
      {"one byte into a second report", 33, 65, 2},
      {"three reports", 150, 65, 3},
      {"header split over short reports", 7, 20, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RequestAssembler assembler;
    auto request = Request(c.dataLength);
    auto reports = Reports(request, c.reportLength);
    ASSERT_EQ(reports.size(), c.reports);
    for (std::size_t i = 0; i + 1 < reports.size(); ++i)
      EXPECT_EQ(assembler.Add(reports[i].data(), reports[i].size()).outcome, RequestAssembler::Outcome::Pending);
    auto result = assembler.Add(reports.back().data(), reports.back().size());
    EXPECT_EQ(result.outcome, RequestAssembler::Outcome::Complete);
    EXPECT_EQ(result.bytes, request);
  }
}

TEST(RequestAssembler, StartsAfreshAfterACompleteRequest) {
  RequestAssembler assembler;
  for (std::uint32_t length : {40u, 3u}) {
    auto request = Request(length);
    RequestAssembler::Result result;
    for (const auto& report : Reports(request, 65)) result = assembler.Add(report.data(), report.size());
    EXPECT_EQ(result.bytes, request);
  }
}

TEST(RequestAssembler, RefusesALengthNoSignatureCanCoverWithoutWaitingForIt) {
  RequestAssembler assembler;
  auto request = Request(0);
  tagMCCMD_HEADER header = LoadMccmdHeader(request.data());
  header.dataLength = 0xFFFFFFFF;
  StoreMccmdHeader(header, request.data());
  request.resize(65, 0);
  auto result = assembler.Add(request.data(), request.size());
  EXPECT_EQ(result.outcome, RequestAssembler::Outcome::TooLong);
  EXPECT_EQ(result.bytes.size(), kMccmdHeaderSize);

  // The next request is read on its own.
  auto next = Request(2);
  auto reports = Reports(next, 65);
  EXPECT_EQ(assembler.Add(reports[0].data(), reports[0].size()).bytes, next);
}

}  // namespace
}  // namespace monsim
