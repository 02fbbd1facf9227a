#include <numeric>

#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/transport/HidTransport.h"
#include "testkit/hiddouble/ScriptedHidFixture.h"

namespace {

using testkit::Bytes;

using WriteDataTest = ScriptedHidFixture;

Bytes Counting(std::size_t size) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

// The reports a request of this size goes out in: the first is its own first 65 bytes, each
// later one a report ID 0 and the next 64 bytes, the last padded with zeros.
std::vector<Bytes> ExpectedReports(const Bytes& request) {
  std::vector<Bytes> reports;
  Bytes first(request.begin(), request.begin() + std::min<std::size_t>(65, request.size()));
  first.resize(65, 0);
  reports.push_back(first);
  for (std::size_t offset = 65; offset < request.size(); offset += 64) {
    Bytes report{0};
    report.insert(report.end(), request.begin() + offset,
                  request.begin() + std::min(offset + 64, request.size()));
    report.resize(65, 0);
    reports.push_back(report);
  }
  return reports;
}

TEST_F(WriteDataTest, SplitsTheRequestIntoReportsWithReportIds) {
  struct Case {
    std::size_t length;
    std::int32_t written;  // whole reports count, the padding included
  };
  const Case cases[] = {{33, 65}, {65, 65}, {66, 129}, {200, 257}, {1024, 1025}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    m_device->ClearRecords();
    Bytes request = Counting(c.length);
    request[0] = 0;
    EXPECT_EQ(WriteData(m_handle, static_cast<std::int32_t>(c.length), request.data()), c.written);
    EXPECT_EQ(m_device->Writes(), ExpectedReports(request));
  }
}

TEST_F(WriteDataTest, RefusesWhatTheStagingBufferCannotHold) {
  Bytes request(1025, 0);
  EXPECT_EQ(WriteData(m_handle, 1025, request.data()), MC_ERR_INVALID_ARG);
  EXPECT_EQ(WriteData(nullptr, 33, request.data()), MC_ERR_INVALID_ARG);
  EXPECT_EQ(WriteData(m_handle, 33, nullptr), MC_ERR_INVALID_ARG);
  EXPECT_EQ(WriteData(m_handle, -1, request.data()), MC_ERR_INVALID_ARG);
  EXPECT_TRUE(m_device->Writes().empty());
  // Without the limit, the same request goes through.
  EXPECT_EQ(WriteIsp2Hid(m_handle, 1025, request.data()), 1025);
}

TEST_F(WriteDataTest, TenFailedWritesInARowEndTheWrite) {
  Bytes request = Counting(100);
  struct Case {
    int failures;
    std::int32_t expected;
    std::size_t reports;
  };
  for (const Case& c : {Case{9, 129, 2}, Case{10, MC_ERR_WRITE_FAILED, 0}}) {
    SCOPED_TRACE(c.failures);
    m_device->ClearRecords();
    m_device->FailNextWrites(c.failures);
    EXPECT_EQ(WriteData(m_handle, 100, request.data()), c.expected);
    EXPECT_EQ(m_device->FailedWrites(), c.failures);
    EXPECT_EQ(m_device->Writes().size(), c.reports);
  }
}

TEST_F(WriteDataTest, Isp2HidLogsEveryPartialWrite) {
  Bytes request = Counting(200);
  EXPECT_EQ(WriteIsp2Hid(m_handle, 200, request.data()), 257);
  EXPECT_EQ(LinesStartingWith(L"OpenIsp2Hid hid_write"),
            std::vector<std::wstring>(
                {L"OpenIsp2Hid hid_write ret=65,offset=65,nDataLengthToWrite=200",
                 L"OpenIsp2Hid hid_write ret=65,offset=129,nDataLengthToWrite=200",
                 L"OpenIsp2Hid hid_write ret=65,offset=193,nDataLengthToWrite=200"}));
  EXPECT_EQ(m_device->Writes(), ExpectedReports(request));
}

}  // namespace
