#include "moncontrol/hid/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace mchid {

void PrintTo(const TopLevelCollectionCaps& c, std::ostream* os) {
  *os << std::hex << "{page " << c.usage_page << ", usage " << c.usage << std::dec << ", in "
      << c.input_report_length << ", out " << c.output_report_length << "}";
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The monitor-control collection as the monitors describe it: no report IDs, 64-byte reports.
const Bytes kMonitorControl = {
    0x05, 0x80,        // Usage Page (Monitor)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Variable)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (Data, Variable)
    0xC0,              // End Collection
};

// A vendor collection numbering its reports: the longest of each kind counts, features do not.
const Bytes kNumberedReports = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x75, 0x08,        //   Report Size (8)
    0x85, 0x01,        //   Report ID (1)
    0x95, 0x20,        //   Report Count (32)
    0x81, 0x02,        //   Input
    0x95, 0x10,        //   Report Count (16)
    0x91, 0x02,        //   Output
    0x85, 0x02,        //   Report ID (2)
    0x95, 0x3F,        //   Report Count (63)
    0x81, 0x02,        //   Input
    0x95, 0x64,        //   Report Count (100)
    0xB1, 0x02,        //   Feature
    0xC0,              // End Collection
};

struct ParseCase {
  std::string name;
  Bytes descriptor;
  std::vector<TopLevelCollectionCaps> expected;
};

class ParseDescriptorTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDescriptorTest, GivesEachTopLevelCollection) {
  const Bytes& d = GetParam().descriptor;
  EXPECT_EQ(ParseReportDescriptor(d.data(), d.size()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDescriptorTest,
    testing::Values(
        ParseCase{"ReportsWithoutIdsCountTheIdByte", kMonitorControl, {{0x80, 1, 65, 65}}},
        ParseCase{"NumberedReportsGiveTheLongestOfEachKind", kNumberedReports, {{0xFF00, 1, 64, 17}}},
        ParseCase{"EachTopLevelCollectionHasItsOwnReports",
                  Join({kMonitorControl,
                        {0x05, 0x0C,  // Usage Page (Consumer)
                         0x09, 0x01,  // Usage (1)
                         0xA1, 0x01,  // Collection (Application)
                         0xA1, 0x02,  //   Collection (Logical): its fields count for the outer one
                         0x85, 0x07,  //     Report ID (7)
                         0x75, 0x01,  //     Report Size (1)
                         0x95, 0x09,  //     Report Count (9): 9 bits take 2 bytes
                         0x81, 0x02,  //     Input
                         0xC0,        //   End Collection
                         0xC0}}),     // End Collection
                  {{0x80, 1, 65, 65}, {0x0C, 1, 3, 0}}},
        ParseCase{"ExtendedUsageLongItemAndPushPop",
                  {
                      0x05, 0x01,                    // Usage Page (Generic Desktop), overridden
                      0x0B, 0x01, 0x00, 0x80, 0x00,  // Usage (Monitor page 0x80, usage 1)
                      0xA1, 0x01,                    // Collection (Application)
                      0xFE, 0x02, 0x10, 0xAA, 0xBB,  //   long item, skipped
                      0x75, 0x08,                    //   Report Size (8)
                      0x95, 0x04,                    //   Report Count (4)
                      0xA4,                          //   Push
                      0x95, 0x20,                    //   Report Count (32)
                      0x91, 0x02,                    //   Output
                      0xB4,                          //   Pop: count 4 again
                      0x81, 0x02,                    //   Input
                      0xC0,                          // End Collection
                  },
                  {{0x80, 1, 5, 33}}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

struct MalformedCase {
  std::string name;
  Bytes descriptor;
};

class MalformedDescriptorTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDescriptorTest, GivesNoCollections) {
  const Bytes& d = GetParam().descriptor;
  EXPECT_TRUE(ParseReportDescriptor(d.data(), d.size()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedDescriptorTest,
    testing::Values(
        MalformedCase{"Empty", {}},
        MalformedCase{"TruncatedItem",
                      Bytes(kMonitorControl.begin(), kMonitorControl.begin() + 10)},
        MalformedCase{"TruncatedLongItem", {0x05, 0x80, 0xFE, 0x08, 0x10, 0x00}},
        MalformedCase{"EndWithoutCollection", {0x05, 0x80, 0x09, 0x01, 0xC0}},
        MalformedCase{"UnclosedCollection", {0x05, 0x80, 0x09, 0x01, 0xA1, 0x01}},
        MalformedCase{"PopWithoutPush", {0xB4, 0x05, 0x80, 0x09, 0x01, 0xA1, 0x01, 0xC0}},
        MalformedCase{"PushWithoutPop", {0xA1, 0x01, 0xA4, 0xC0}},
        MalformedCase{"ReportIdZero", {0x05, 0x80, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x00, 0xC0}},
        // 8 bits by 65536: longer than a 16-bit length field can hold
        MalformedCase{"ReportTooLong",
                      {0x05, 0x80, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x97, 0x00, 0x00,
                       0x01, 0x00, 0x81, 0x02, 0xC0}}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

TEST(ReportDescriptorTest, NullDataGivesNoCollections) {
  EXPECT_TRUE(ParseReportDescriptor(nullptr, 4).empty());
}

}  // namespace
}  // namespace mchid
