#include "agent-windows/update/InstallerArguments.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/text/TextConversion.h"
#include "foundation/text/TimeText.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

constexpr std::int64_t kUpdateTime = 1700000000;

// A "monitorList" whose first entry carries the options.
nlohmann::json MonitorList(const std::string& packageInfo, const std::vector<std::string>& serials) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::string& serial : serials) list.push_back({{"serialNumber", serial}});
  list[0]["updatePackageInfo"] = nlohmann::json::parse(packageInfo);
  return list;
}

// What the time conversion itself logs for the value.
std::vector<testkit::LogLine> ConversionLines(std::int64_t seconds) {
  testkit::LogCapture log;
  ConvertJavaTimestampToString(seconds);
  return log.Lines();
}

TEST(InstallerArguments, OptionsInTheirOrderThenEverySerialNumber) {
  const std::string when = ConvertJavaTimestampToString(kUpdateTime);
  ASSERT_FALSE(when.empty());
  std::vector<testkit::LogLine> rejectedTime = ConversionLines(-5);
  struct Case {
    const char* what;
    std::string packageInfo;
    std::vector<std::string> serials;
    std::string arguments;
    std::vector<testkit::LogLine> lines;  // the log before the serial numbers are read
  };
  using spdlog::level::err;
  using spdlog::level::info;
  rejectedTime.push_back({info, "ConvertJavaTimestampToString Error."});
  const Case cases[] = {
      {"silent, disconnect, two monitors", R"({"silentFlag":1,"updateType":4})", {"SN1", "SN2"},
       "-no_delay -console disconnect -sn SN1 SN2", {}},
      {"scheduled", R"({"updateType":1,"updateTime":1700000000})", {"A"}, "-no_delay -set_task_time " + when + " -sn A",
       {}},
      {"scheduled at a time local time cannot show", R"({"silentFlag":1,"updateType":1,"updateTime":-5})", {"A"},
       "-no_delay -console -sn A", rejectedTime},
      {"now", R"({"silentFlag":0,"updateType":2,"updateTime":1700000000})", {"A"}, "-no_delay -sn A", {}},
      {"no signal", R"({"updateType":3})", {"A"}, "-no_delay nosigal -sn A", {}},
      {"an unknown type", R"({"silentFlag":1,"updateType":7})", {"A"}, "-no_delay -console -sn A",
       {{err, "Java Update type Error."}}},
      {"no options at all", "{}", {"A"}, "-no_delay -sn A", {{err, "Java Update type Error."}}},
      {"three monitors", R"({"updateType":2})", {"SN1", "SN2", "SN3"}, "-no_delay -sn SN1 SN2 SN3", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::LogCapture log;
    EXPECT_EQ(BuildInstallerArguments(MonitorList(c.packageInfo, c.serials)), StringToWString(c.arguments));
    std::vector<testkit::LogLine> expected = c.lines;
    expected.push_back({info, "StartProcessAsSystem Start."});
    EXPECT_EQ(log.Lines(), expected);
  }
}

TEST(InstallerArguments, AMissingOrMistypedValueIsAnError) {
  for (const char* list : {R"([{"updatePackageInfo":{"updateType":2}}])",
                           R"([{"updatePackageInfo":{"updateType":2},"serialNumber":"A"},{"serialNumber":5}])",
                           R"([{"updatePackageInfo":{"updateType":"2"},"serialNumber":"A"}])",
                           R"([{"serialNumber":"A"}])"}) {
    EXPECT_THROW(BuildInstallerArguments(nlohmann::json::parse(list)), nlohmann::json::exception) << list;
  }
}

}  // namespace
