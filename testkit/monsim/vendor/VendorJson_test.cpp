#include "testkit/monsim/vendor/VendorJson.h"

#include <gtest/gtest.h>

#include "testkit/monsim/MonitorJson.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace monsim {
namespace {

TEST(VendorJson, ReadsTheVendorStateOfAMonitorAndOfItsChainedOnes) {
  auto entries = ParseMonitorFile(R"json({"monitors": [{"serial": "S1",
      "vendor": {"status": 2, "tableChunk": 8, "fwTransferResult": 0, "daisyChainResults": [4, 5, 6, 7],
                 "monitorInfo": {"deviceCount": 2, "modelName": "Halvane 27Q", "sn": "S1", "releaseVersion": 261},
                 "children": [{"type": 1, "fwVer": "1.02"}, {}]},
      "chain": [{"port": "1", "vendor": {"monitorInfo": {"sn": "S2"}}}]}]})json");
  ASSERT_EQ(entries.size(), 1u);
  const MonitorDescription& m = entries[0].description;
  const VendorState& v = m.display.vendor;
  EXPECT_EQ(v.status, 2);
  EXPECT_EQ(v.tableChunk, 8u);
  EXPECT_EQ(v.fwTransferResult, 0);
  EXPECT_EQ(v.daisyChainResults, (std::array<std::uint8_t, 4>{4, 5, 6, 7}));
  MonitorInfoFields info;
  info.deviceCount = 2;
  info.modelName = "Halvane 27Q";
  info.sn = "S1";
  info.releaseVersion = 261;
  EXPECT_EQ(v.monitorInfo, EncodeMonitorInfo(info));
  ChildDeviceFields child;
  child.type = 1;
  child.fwVer = "1.02";
  EXPECT_EQ(v.childInfo, (std::vector<std::vector<std::uint8_t>>{EncodeChildDevice(child), EncodeChildDevice({})}));
  MonitorInfoFields chained;
  chained.sn = "S2";
  EXPECT_EQ(m.chain.at(1).vendor.monitorInfo, EncodeMonitorInfo(chained));
  EXPECT_TRUE(ParseMonitorFile(R"({"monitors": [{}]})")[0].description.display.vendor.monitorInfo.empty());
}

TEST(VendorJson, RefusesWhatItCannotPlace) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"colour": 1})", "monitors[0].vendor: unknown key \"colour\""},
      {R"({"tableChunk": 0})", "monitors[0].vendor.tableChunk: expected an integer of 1 to 123"},
      {R"({"status": 256})", "monitors[0].vendor.status: expected an integer of 0 to 255"},
      {R"({"daisyChainResults": [1, 2]})", "monitors[0].vendor.daisyChainResults: expected an array of 4 results"},
      {R"({"monitorInfo": {"sn": 5}})", "monitors[0].vendor.monitorInfo.sn: expected a text"},
      {R"({"children": [{"serial": "x"}]})", "monitors[0].vendor.children[0]: unknown key \"serial\""},
  };
  for (const auto& [vendor, message] : cases) {
    SCOPED_TRACE(vendor);
    try {
      ParseMonitorFile(std::string(R"({"monitors": [{"vendor": )") + vendor + "}]}");
      ADD_FAILURE() << "accepted";
    } catch (const JsonFormError& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST(VendorTables, TextsAreCutToTheirFieldsAndVersionsAreLittleEndian) {
  MonitorInfoFields info;
  info.modelName = std::string(30, 'M');
  info.vendorID = "QLMO";
  info.debugVersion = 0x1234;
  const std::vector<std::uint8_t> table = EncodeMonitorInfo(info);
  ASSERT_EQ(table.size(), 62u);
  EXPECT_EQ(std::string(table.begin() + 2, table.begin() + 26), std::string(24, 'M'));
  EXPECT_EQ(table[26], 0);
  EXPECT_EQ(std::string(table.begin() + 30, table.begin() + 34), "QLMO");
  EXPECT_EQ(table[58], 0x34);
  EXPECT_EQ(table[59], 0x12);
  EXPECT_EQ(EncodeChildDevice({}).size(), 98u);
}

}  // namespace
}  // namespace monsim
