#include "moncontrol/tables/AppEnableKeys.h"

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "moncontrol/tables/ModelFlagTable.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

using nlohmann::json;

const std::string& ShippedTable() {
  static const std::string text = LoadJsonResource(kModelFlagTableId);
  return text;
}

std::vector<_AppEnableKeyValue> Features(int version, const std::string& text = ShippedTable()) {
  std::vector<_AppEnableKeyValue> features;
  EXPECT_EQ(LoadAppEnableKeys(text, version, features), 1);
  return features;
}

const _AppEnableKeyValue* Find(const std::vector<_AppEnableKeyValue>& features, const std::string& name,
                               const std::string& parent) {
  for (const _AppEnableKeyValue& feature : features)
    if (feature.name == name && feature.parentName == parent) return &feature;
  return nullptr;
}

TEST(ModelFlagTableTest, TheImageCarriesTheTableByteForByte) {
  std::ifstream file(MODEL_FLAG_TABLE_JSON, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(ShippedTable(), text);
}

TEST(ModelFlagTableTest, EveryVersionHasItsEntries) {
  ASSERT_FALSE(ShippedTable().empty());
  EXPECT_EQ(Features(1).size(), 46u);
  EXPECT_EQ(Features(2).size(), 57u);
  EXPECT_EQ(Features(3).size(), 75u);
  EXPECT_TRUE(Features(0).empty());
  EXPECT_TRUE(Features(4).empty());
}

TEST(ModelFlagTableTest, EntriesHaveTheirShape) {
  const std::set<std::string> groups{"Quick Settings", "Color Control",  "Port Settings", "Adjusting",
                                     "Assisting",      "Advanced Tools", "Hot Features"};
  const std::map<int, std::string> guiTypes{{0, "consumer"}, {1, "commercial"}, {2, "gaming"}};
  const std::map<int, std::string> onOff{{0, "off"}, {1, "on"}};
  const json table = json::parse(ShippedTable());
  EXPECT_EQ(table.at("hash").get<std::string>().size(), 64u);
  for (int version = 1; version <= 3; ++version) {
    SCOPED_TRACE(version);
    const std::vector<_AppEnableKeyValue> features = Features(version);
    const json& entries = table.at("data").at("appEnableKeys_ver_" + std::to_string(version));
    int guiEntries = 0;
    for (std::size_t i = 0; i < features.size(); ++i) {
      const _AppEnableKeyValue& f = features[i];
      SCOPED_TRACE(f.name);
      if (f.name == "GUI type") {
        ++guiEntries;
        EXPECT_EQ(f.type, "Model Flags");
        EXPECT_EQ(f.parentName, "");
        EXPECT_EQ(std::tie(f.byteStart, f.bitStart, f.byteEnd, f.bitEnd), std::make_tuple(1, 6, 1, 7));
        EXPECT_EQ(f.valuesDef, guiTypes);
        EXPECT_TRUE(f.vcpCode.empty());
        EXPECT_EQ(entries[i].contains("vcpCode"), version != 1);
        continue;
      }
      EXPECT_EQ(f.type, "Feature");
      EXPECT_TRUE(groups.contains(f.parentName)) << f.parentName;
      EXPECT_EQ(f.byteStart, f.byteEnd);
      EXPECT_EQ(f.bitStart, f.bitEnd);
      EXPECT_LE(f.bitStart, 7);
      EXPECT_EQ(f.valuesDef, onOff);
      EXPECT_TRUE(entries[i].contains("vcpCode"));
      if (version > 1 && i > 0) {
        const _AppEnableKeyValue& before = features[i - 1];
        EXPECT_LT(std::tie(before.byteStart, before.bitStart), std::tie(f.byteStart, f.bitStart));
      }
    }
    EXPECT_EQ(guiEntries, 1);
  }
}

TEST(ModelFlagTableTest, EntriesThatDifferBetweenVersions) {
  struct Entry {
    int version;
    const char* name;
    const char* parent;
    int byte;
    int bit;
    std::vector<std::string> codes;
  };
  const std::vector<std::string> pip{"A4", "A5", "95", "96", "97", "98", "F2", "F5"};
  const Entry entries[] = {
      {1, "Brightness&Contrast", "Quick Settings", 3, 2, {"10", "12"}},
      {2, "Brightness&Contrast", "Quick Settings", 2, 0, {"10", "12"}},
      {1, "Color Gamut(0x14,0xF1)", "Color Control", 11, 0, {"14,F1"}},
      {3, "Color Gamut(0x14,0xF1)", "Color Control", 4, 0, {"14", "F1"}},
      {2, "Game mode", "Quick Settings", 2, 3, {}},
      {3, "Game mode", "Quick Settings", 2, 3, {"EB"}},
      {2, "Hot-Traffic Light", "Hot Features", 14, 7, {"F803"}},
      {3, "Hot-Traffic Light", "Hot Features", 14, 7, {}},
      {1, "PIP/PBP(0xF2,0xF4,0xF5)", "Port Settings", 7, 6, pip},
      {3, "PIP/PBP(0xF2,0xF4,0xF5)", "Port Settings", 5, 3, pip},
      {1, "Smart Energy (Human detection)", "Quick Settings", 17, 7, {"F805"}},
      {3, "Overclock", "Assisting", 10, 3, {"F81A"}},
      {3, "Overclock", "Hot Features", 15, 7, {"F81A"}},
      {3, "Overclock", "Quick Settings", 17, 6, {"F81A"}},
      {3, "Ambient Light Detection", "Quick Settings", 18, 0, {"F821"}},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(std::to_string(e.version) + " " + e.name + " / " + e.parent);
    const std::vector<_AppEnableKeyValue> features = Features(e.version);
    const _AppEnableKeyValue* f = Find(features, e.name, e.parent);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::tie(f->byteStart, f->bitStart), std::tie(e.byte, e.bit));
    EXPECT_EQ(f->vcpCode, e.codes);
  }
  EXPECT_EQ(Find(Features(1), "Energy Saving Mode", "Quick Settings"), nullptr);
  EXPECT_EQ(Find(Features(2), "USB Link", "Assisting"), nullptr);
}

json BrightnessEntry() {
  return json::parse(R"({"name": "Brightness", "type": "Feature",
      "position": {"byteStart": 2, "byteEnd": 2, "bitStart": 0, "bitEnd": 0},
      "valuesDef": [{"value": 1, "define": "on"}, {"value": 0, "define": "off"}],
      "parentName": "Quick Settings", "vcpCode": ["10", "12"]})");
}

std::string TableOf(const json& entry) {
  return json{{"hash", ""}, {"data", {{"appEnableKeys_ver_2", json::array({entry})}}}}.dump();
}

// The table of BrightnessEntry with one member set to value, or removed.
std::string TableWith(const char* member, const json& value) {
  json entry = BrightnessEntry();
  entry[json::json_pointer(member)] = value;
  return TableOf(entry);
}
std::string TableWithout(const char* member) {
  const json::json_pointer pointer(member);
  json entry = BrightnessEntry();
  entry[pointer.parent_pointer()].erase(pointer.back());
  return TableOf(entry);
}

TEST(AppEnableKeysTest, ReadsAnEntry) {
  const std::vector<_AppEnableKeyValue> features = Features(2, TableOf(BrightnessEntry()));
  ASSERT_EQ(features.size(), 1u);
  const _AppEnableKeyValue& f = features[0];
  EXPECT_EQ(f.name, "Brightness");
  EXPECT_EQ(f.type, "Feature");
  EXPECT_EQ(f.parentName, "Quick Settings");
  EXPECT_EQ(f.vcpCode, (std::vector<std::string>{"10", "12"}));
  EXPECT_EQ(std::tie(f.byteStart, f.byteEnd, f.bitStart, f.bitEnd), std::make_tuple(2, 2, 0, 0));
  EXPECT_EQ(f.valuesDef, (std::map<int, std::string>{{0, "off"}, {1, "on"}}));
  EXPECT_EQ(f.value, 0);
}

TEST(AppEnableKeysTest, NullOrMissingGroupAndCodesAreEmpty) {
  struct Case {
    const char* what;
    std::string table;
    std::string parentName;
    std::vector<std::string> codes;
  };
  const std::vector<std::string> codes{"10", "12"};
  const Case cases[] = {
      {"group null", TableWith("/parentName", json()), "", codes},
      {"group missing", TableWithout("/parentName"), "", codes},
      {"codes null", TableWith("/vcpCode", json()), "Quick Settings", {}},
      {"codes missing", TableWithout("/vcpCode"), "Quick Settings", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<_AppEnableKeyValue> features = Features(2, c.table);
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].name, "Brightness");
    EXPECT_EQ(features[0].parentName, c.parentName);
    EXPECT_EQ(features[0].vcpCode, c.codes);
  }
}

TEST(AppEnableKeysTest, AMalformedTableGivesNoFeatures) {
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"not JSON", "{\"data\": "},
      {"empty", ""},
      {"not an object", "[]"},
      {"no data", R"({"hash": "00"})"},
      {"data not an object", R"({"data": []})"},
      {"versions not an array", R"({"data": {"appEnableKeys_ver_2": {}}})"},
      {"entry not an object", R"({"data": {"appEnableKeys_ver_2": [1]}})"},
      {"entry null", TableOf(json())},
      {"name a number", TableWith("/name", 5)},
      {"name missing", TableWithout("/name")},
      {"type null", TableWith("/type", json())},
      {"position missing", TableWithout("/position")},
      {"byte a string", TableWith("/position/byteStart", "2")},
      {"bit a fraction", TableWith("/position/bitStart", 0.5)},
      {"byte too large", TableWith("/position/byteEnd", 4294967298u)},
      {"bit missing", TableWithout("/position/bitEnd")},
      {"values not an array", TableWith("/valuesDef", "on")},
      {"value a string", TableWith("/valuesDef/0/value", "1")},
      {"define a number", TableWith("/valuesDef/1/define", 0)},
      {"group a number", TableWith("/parentName", 3)},
      {"codes a string", TableWith("/vcpCode", "10")},
      {"code a number", TableWith("/vcpCode/1", 18)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::LogCapture log;
    std::vector<_AppEnableKeyValue> features(1);
    EXPECT_EQ(LoadAppEnableKeys(c.text, 2, features), 0);
    EXPECT_TRUE(features.empty());
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].level, spdlog::level::warn);
    EXPECT_TRUE(log.Lines()[0].text.starts_with("LoadAppEnableKeys: the model-flag table is not usable for version 2"))
        << log.Lines()[0].text;
  }
}

}  // namespace
