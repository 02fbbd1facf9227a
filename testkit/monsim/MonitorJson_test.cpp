#include "testkit/monsim/MonitorJson.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "testkit/monsim/vendor/VendorTables.h"

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

struct RefusedCase {
  const char* text;
  const char* message;
};

template <std::size_t N>
void ExpectRefused(const RefusedCase (&cases)[N]) {
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseMonitorFile(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const JsonFormError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(MonitorJson, BadFilesAreRefusedWithThePlaceNamed) {
  const RefusedCase cases[] = {
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
      {R"({"monitors": [{"vcp": {"10": {}, "0x10": {}}}]})", "monitors[0].vcp.10: the code is given twice"},
  };
  ExpectRefused(cases);
}

TEST(MonitorJson, ExtendedPageIsKeyedBySubCodesOfOneToFourHexDigits) {
  const struct {
    const char* key;
    std::uint16_t subCode;
  } cases[] = {{"05", 0x05}, {"5", 0x05}, {"0x21", 0x21}, {"0102", 0x0102}, {"ffff", 0xFFFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const std::string key = std::string("\"") + c.key + "\"";
    auto entries = ParseMonitorFile(R"({"monitors": [{"extended": {)" + key + R"(: {"current": 1, "maximum": 1}},
        "chain": [{"port": "1", "extended": {)" + key + R"(: {"current": 2, "type": 1}}}]}]})");
    const MonitorDescription& m = entries.at(0).description;
    ASSERT_EQ(m.display.extended.size(), 1u);
    const VcpValue& own = m.display.extended.at(c.subCode);
    EXPECT_EQ(own.current, 1);
    EXPECT_EQ(own.maximum, 1);
    const VcpValue& chained = m.chain.at(1).extended.at(c.subCode);
    EXPECT_EQ(chained.current, 2);
    EXPECT_EQ(chained.maximum, 100);
    EXPECT_EQ(chained.type, 1);
  }
}

TEST(MonitorJson, BadExtendedPagesAreRefusedWithThePlaceNamed) {
  const RefusedCase cases[] = {
      {R"({"monitors": [{"extended": []}]})", "monitors[0].extended: expected an object of sub-codes"},
      {R"({"monitors": [{"extended": {"12345": {}}}]})",
       "monitors[0].extended.12345: \"12345\" is not a sub-code of 1 to 4 hex digits"},
      {R"({"monitors": [{"extended": {"": {}}}]})", "is not a sub-code of 1 to 4 hex digits"},
      {R"({"monitors": [{"extended": {"0x": {}}}]})", "is not a sub-code of 1 to 4 hex digits"},
      {R"({"monitors": [{"extended": {"F8-05": {}}}]})", "is not a sub-code of 1 to 4 hex digits"},
      {R"({"monitors": [{"extended": {"5": {}, "0005": {}}}]})", "the code is given twice"},
      {R"({"monitors": [{"extended": {"05": 1}}]})", "monitors[0].extended.05: expected an object"},
      {R"({"monitors": [{"extended": {"05": {"value": 1}}}]})", "extended.05: unknown key \"value\""},
      {R"({"monitors": [{"extended": {"05": {"maximum": 65536}}}]})", "extended.05.maximum: out of range"},
      {R"({"monitors": [{"chain": [{"port": "1", "extended": {"g": {}}}]}]})",
       "monitors[0].chain[0].extended.g: \"g\" is not a sub-code"},
  };
  ExpectRefused(cases);
}

// The file that the agents' end-to-end tests and the demo run on.
TEST(MonitorJson, TheTwoMonitorFileHoldsWhatTheAgentReads) {
  const auto entries = LoadMonitorFile(MONSIM_TWO_MONITORS_FILE);
  ASSERT_EQ(entries.size(), 2u);
  const struct {
    const char* serial;
    const char* model;
    std::uint16_t brightness;
  } expected[] = {{"TVK24Q100001", "TV-2415Q", 50}, {"TVK27Q100002", "TV-2715Q", 60}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const MonitorDescription& m = entries[i].description;
    SCOPED_TRACE(m.id);
    EXPECT_TRUE(entries[i].plugged);
    EXPECT_EQ(m.id, expected[i].serial);
    EXPECT_EQ(m.serial, std::wstring(m.id.begin(), m.id.end()));
    const Display& d = m.display;
    EXPECT_EQ(d.vcp.at(0x10).current, expected[i].brightness);
    for (std::uint8_t code : {0x12, 0xC0, 0xD6, 0xEC, 0xF6, 0xFA}) EXPECT_TRUE(d.vcp.count(code)) << +code;
    EXPECT_EQ(d.vcp.at(0xEC).maximum, 0xFFFF);  // the agent writes 0xFF01 to it
    EXPECT_EQ(d.extended.at(0x05).maximum, 1);
    EXPECT_EQ(d.extended.at(0x21).maximum, 1);
    ASSERT_TRUE(d.capabilities);
    // Table version 2 with its fourth byte 0x80 enables 10, 12 and F8 05.
    EXPECT_NE(d.capabilities->find("C6(02 00 80 80)"), std::string::npos);
    EXPECT_NE(d.capabilities->find("F8(05(00 01)"), std::string::npos);

    MonitorInfoFields info;
    info.modelName = expected[i].model;
    info.specialID = "A1";
    info.vendorID = "QLM";
    info.sn = expected[i].serial;
    info.debugVersion = 12;
    info.releaseVersion = 3;
    EXPECT_EQ(d.vendor.monitorInfo, EncodeMonitorInfo(info));
  }
  // The agent keeps its monitors in serial order; the first must come first.
  EXPECT_LT(entries[0].description.serial, entries[1].description.serial);
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
