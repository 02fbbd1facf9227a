#include "agent-windows/CaughtException.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/logcapture/LogCapture.h"

namespace {

struct CaughtCase {
  const char* name;
  std::function<void()> raise;
  const wchar_t* unknown;  // null: the default text
  std::vector<std::string> errors;
};

class LogCaughtExceptionTest : public ::testing::TestWithParam<CaughtCase> {};

TEST_P(LogCaughtExceptionTest, WritesTheLinesOfWhatWasCaught) {
  const CaughtCase& c = GetParam();
  testkit::LogCapture log;
  try {
    c.raise();
  } catch (...) {
    if (c.unknown != nullptr)
      LogCaughtException(L"Where", c.unknown);
    else
      LogCaughtException(L"Where");
  }
  EXPECT_EQ(log.Errors(), c.errors);
  EXPECT_EQ(log.Lines().size(), c.errors.size());
}

INSTANTIATE_TEST_SUITE_P(
    Exceptions, LogCaughtExceptionTest,
    ::testing::Values(
        CaughtCase{"Standard", [] { throw std::runtime_error("bad key"); }, nullptr,
                   {"Where Exception caught: ", "bad key"}},
        CaughtCase{"StandardIgnoresTheUnknownText", [] { throw std::out_of_range("past the end"); },
                   L"Unknown exception...", {"Where Exception caught: ", "past the end"}},
        CaughtCase{"Unknown", [] { throw 7; }, nullptr, {"Where Exception caught: Unknown exception"}},
        CaughtCase{"UnknownWithItsOwnText", [] { throw 7; }, L"Unknown exception...",
                   {"Where Exception caught: Unknown exception..."}}),
    [](const ::testing::TestParamInfo<CaughtCase>& info) { return info.param.name; });

}  // namespace
