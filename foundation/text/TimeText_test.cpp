#include "foundation/text/TimeText.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/logcapture/LogCapture.h"

namespace {

// Runs the test in a fixed zone, UTC+8.
class LocalTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    m_hadZone = zone != nullptr;
    if (m_hadZone) m_zone = zone;
    setenv("TZ", "UTC-8", 1);
    tzset();
  }
  void TearDown() override {
    if (m_hadZone)
      setenv("TZ", m_zone.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool m_hadZone = false;
  std::string m_zone;
};

TEST_F(LocalTimeTest, SecondsAsLocalTime) {
  struct {
    std::int64_t seconds;
    const char* text;
  } cases[] = {{0, "1970-01-01T08:00:00"},
               {1700000000, "2023-11-15T06:13:20"},
               {32535215999, "3001-01-01T07:59:59"}};
  testkit::LogCapture log;
  for (const auto& c : cases) EXPECT_EQ(ConvertJavaTimestampToString(c.seconds), c.text);
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(LocalTimeTest, ValuesLocalTimeCannotShowFail) {
  for (std::int64_t seconds : {std::int64_t{-1}, std::int64_t{-1700000000}, std::int64_t{32535216000},
                               std::int64_t{INT64_MAX}}) {
    testkit::LogCapture log;
    EXPECT_EQ(ConvertJavaTimestampToString(seconds), "");
    std::vector<std::string> errors = log.Errors();
    ASSERT_EQ(errors.size(), 2u) << seconds;
    EXPECT_EQ(errors[0], "ConvertJavaTimestampToString Exception caught: (" +
                             std::to_string(seconds) + ")");
    EXPECT_EQ(errors[1], "time value outside the range of local time");
  }
}

TEST(CurrSecondsTest, WallClockSeconds) {
  std::int64_t before = std::time(nullptr);
  std::int64_t now = GetCurrSeconds();
  EXPECT_GE(now, before);
  EXPECT_LE(now, static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace
