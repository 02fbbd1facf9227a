#include "testkit/monsim/MonitorJson.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace monsim {
namespace {

using nlohmann::json;

TEST(MonitorJson, ReadsEveryPartOfAMonitor) {
  auto entries = ParseMonitorFile(R"json({"monitors": [{
      "id": "left", "serial": "S\u00e91", "manufacturer": null, "product": "Halvane 27",
      "vendorId": 14961, "productId": 61455, "release": 258,
      "collections": [{"interface": 3, "inputReportLength": 129},
                      {"usagePage": 12, "usage": 1, "inputReportLength": 3, "outputReportLength": 0}],
      "vcp": {"10": {"current": 50, "maximum": 100}, "0xD6": {"current": 1, "maximum": 5, "type": 1}},
      "capabilities": "(vcp(10))", "capabilityFragment": 16,
      "chain": [{"port": "1", "vcp": {"10": {"current": 20}}, "capabilities": "(vcp(10))"}],
      "plugged": false}]})json");
  ASSERT_EQ(entries.size(), 1u);
  const MonitorDescription& m = entries[0].description;
  EXPECT_FALSE(entries[0].plugged);
  EXPECT_EQ(m.id, "left");
  EXPECT_EQ(m.serial, L"S\u00e91");
  EXPECT_FALSE(m.manufacturer);
  EXPECT_EQ(m.product, L"Halvane 27");
  EXPECT_EQ(m.releaseNumber, 258);
  ASSERT_EQ(m.collections.size(), 2u);
  EXPECT_TRUE(m.collections[0].IsControl());
  EXPECT_EQ(m.collections[0].interfaceNumber, 3);
  EXPECT_EQ(m.collections[0].inputReportLength, 129);
  EXPECT_EQ(m.collections[0].outputReportLength, 65);
  EXPECT_EQ(m.collections[1].interfaceNumber, 1);  // its place in the list
  EXPECT_FALSE(m.collections[1].IsControl());
  EXPECT_EQ(m.display.vcp.at(0x10).current, 50);
  EXPECT_EQ(m.display.vcp.at(0xD6).maximum, 5);
  EXPECT_EQ(m.display.vcp.at(0xD6).type, 1);
  EXPECT_EQ(m.display.capabilities, "(vcp(10))");
  EXPECT_EQ(m.display.capabilityFragment, 16u);
  EXPECT_EQ(m.chain.at(1).vcp.at(0x10).current, 20);
  EXPECT_EQ(m.chain.at(1).vcp.at(0x10).maximum, 100);
}

TEST(MonitorJson, AnEmptyMonitorGetsTheDefaults) {
  auto entries = ParseMonitorFile(R"({"monitors": [{}]})");
  const MonitorDescription& m = entries.at(0).description;
  EXPECT_TRUE(entries[0].plugged);
  EXPECT_TRUE(m.id.empty());
  EXPECT_EQ(m.vendorId, kVendorId);
  EXPECT_EQ(m.productId, kProductId);
  EXPECT_FALSE(m.serial);
  ASSERT_EQ(m.collections.size(), 1u);
  EXPECT_TRUE(m.collections[0].IsControl());
  EXPECT_EQ(m.collections[0].interfaceNumber, 0);
  EXPECT_EQ(m.collections[0].inputReportLength, 65);
  EXPECT_FALSE(m.display.capabilities);
  EXPECT_TRUE(m.chain.empty());
}

TEST(MonitorJson, BadFilesAreRefusedWithThePlaceNamed) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"{", "not valid JSON"},
      {"[]", "file: expected an object"},
      {R"({"screens": []})", "unknown key \"screens\""},
      {R"({})", "needs a \"monitors\" array"},
      {R"({"monitors": [{"serail": "S1"}]})", "monitors[0]: unknown key \"serail\""},
      {R"({"monitors": [{"serial": 5}]})", "monitors[0].serial: expected a text or null"},
      {R"({"monitors": [{"vcp": {"1G": {}}}]})", "monitors[0].vcp.1G: \"1G\" is not a hex byte"},
      {R"({"monitors": [{"vcp": {"10": {"current": 70000}}}]})", "monitors[0].vcp.10.current: out of range"},
      {R"({"monitors": [{"vcp": {"10": {"current": -1}}}]})", "monitors[0].vcp.10.current: out of range"},
      {R"({"monitors": [{"vcp": {"10": {"current": "50"}}}]})", "current: expected an integer"},
      {R"({"monitors": [{"capabilityFragment": 0}]})", "capabilityFragment: must be 1 to 124"},
      {R"({"monitors": [{"capabilityFragment": 125}]})", "capabilityFragment: must be 1 to 124"},
      {R"({"monitors": [{"collections": []}]})", "collections: expected a non-empty array"},
      {R"({"monitors": [{"collections": [{"inputReportLength": 20}]}]})",
       "collections[0]: a control collection needs report lengths of at least 33"},
      {R"({"monitors": [{"id": "a"}, {"id": "a"}]})", "monitors[1]: id \"a\" used twice"},
      {R"({"monitors": [{"chain": [{"vcp": {}}]}]})", "chain[0]: needs a \"port\""},
      {R"({"monitors": [{"chain": [{"port": "1"}, {"port": "01"}]}]})", "chain[1]: port used twice"},
      {R"({"monitors": [{"plugged": 1}]})", "plugged: expected true or false"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseMonitorFile(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const JsonFormError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(MonitorJson, LoadingNamesTheFile) {
  std::string path = ::testing::TempDir() + "monsim-bad-" + std::to_string(::getpid()) + ".json";
  std::ofstream(path) << R"({"monitors": [{"vcp": 3}]})";
  try {
    LoadMonitorFile(path);
    ADD_FAILURE() << "accepted";
  } catch (const JsonFormError& e) {
    EXPECT_EQ(std::string(e.what()), path + ": monitors[0].vcp: expected an object of VCP codes");
  }
  std::remove(path.c_str());
  EXPECT_THROW(LoadMonitorFile(path), JsonFormError);
}

TEST(MonitorJson, FaultsTakeTheirDefaultsAndRefuseWhatTheyCannotMean) {
  Fault late = ParseFault(json{{"kind", "late"}}, "f");
  EXPECT_EQ(late.kind, FaultKind::Late);
  EXPECT_EQ(late.value, 2u);
  EXPECT_EQ(late.count, 1u);
  EXPECT_EQ(ParseFault(json{{"kind", "hostile-data-length"}}, "f").value, 0xFFFFFFFFu);
  Fault before = ParseFault(json::parse(R"({"kind": "messages-before", "count": 3,
      "message": {"funcCode": 38, "subCode": 16, "param3": 70, "data": "01 0a FF"}})"), "f");
  EXPECT_EQ(before.value, 1u);
  EXPECT_EQ(before.count, 3u);
  EXPECT_EQ(before.message.subCode, 16u);
  EXPECT_EQ(before.message.data, (std::vector<std::uint8_t>{0x01, 0x0A, 0xFF}));

  EXPECT_THROW(ParseFault(json{{"kind", "status"}}, "f"), JsonFormError);
  EXPECT_THROW(ParseFault(json{{"kind", "slow"}}, "f"), JsonFormError);
  EXPECT_THROW(ParseMessage(json{{"data", "123"}}, "m"), JsonFormError);
  EXPECT_THROW(ParseMessage(json{{"data", "zz"}}, "m"), JsonFormError);
}

}  // namespace
}  // namespace monsim
