#include "moncontrol/tables/CapstringToMap.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/tables/ModelFlagTable.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The pairs copied out of the library's strings, which are freed.
Pairs Collect(KeyValuePair* pairs, std::int32_t count) {
  Pairs out;
  for (std::int32_t i = 0; i < count; ++i) {
    out.emplace_back(pairs[i].key, pairs[i].value);
    std::free(pairs[i].key);
    std::free(pairs[i].value);
  }
  return out;
}

// CapstringToMap on the string with its NUL counted, from a heap block of exactly that size.
Pairs MapCaps(const std::string& caps, std::int32_t maxPairs = 100) {
  auto bytes = std::make_unique<char[]>(caps.size() + 1);
  std::memcpy(bytes.get(), caps.c_str(), caps.size() + 1);
  std::uint32_t length = static_cast<std::uint32_t>(caps.size() + 1);
  std::vector<KeyValuePair> pairs(100);
  std::int32_t count = -1;
  CapstringToMap(&length, bytes.get(), pairs.data(), maxPairs, &count);
  return Collect(pairs.data(), count);
}

// A typical capability string, with the model-flag bytes under VCP 0xC6 chosen by the test.
std::string Sample(const std::string& flags) {
  return "(prot(monitor)type(LCD)vcp(02 10 12 C6(" + flags + ") F8(05(00 01)))mccs_ver(2.2))";
}

// Hands the library another model-flag table: the resource of a module of its own, which
// SetGlobalHandle names, for the life of the object.
class HandedTable {
 public:
  explicit HandedTable(std::string text) : m_text(std::move(text)) {
    win32::AddModuleResource(this, L"JSON", MAKEINTRESOURCEW(kModelFlagTableId), m_text.data(),
                             static_cast<DWORD>(m_text.size()));
    SetGlobalHandle(this);
  }
  HandedTable() { SetGlobalHandle(this); }  // a module without the table
  ~HandedTable() {
    SetGlobalHandle(nullptr);
    win32::RemoveModuleResources(this);
  }

 private:
  std::string m_text;
};

struct PairsCase {
  const char* what;
  std::string caps;
  Pairs pairs;
};

template <std::size_t N>
void ExpectPairs(const PairsCase (&cases)[N]) {
  for (const PairsCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MapCaps(c.caps), c.pairs);
  }
}

using CapstringToMapTest = MonCtrlTest;

TEST_F(CapstringToMapTest, EnabledFeaturesOfTheSampleStrings) {
  const PairsCase cases[] = {
      {"version 2, Brightness&Contrast", Sample("02 00 80"), {{"10", ""}, {"12", ""}}},
      {"a code found among the 0xF8 sub-codes", Sample("02 00 80 80"), {{"10", ""}, {"12", ""}, {"F805", "00 01"}}},
      {"features without codes", Sample("02 03 40"), {}},
      {"no model flags", "(prot(monitor)vcp(02 10 12 F8(05(00 01))))", {}},
      {"no vcp tag", "(prot(monitor) type(LCD) vcp(02 10 12 C6(02 00 80)))", {}},
      {"not enclosed", "prot(monitor)vcp(10 12 C6(02 00 80))", {}},
      {"version 1 never matches \"14,F1\"", "(vcp(14 F1 72 C6(01 00 00 00 00 00 00 00 00 00 00 C0)))", {{"72", ""}}},
      {"version 3, sub-code 21", "(vcp(C6(03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80) F8(21(00 01))))",
       {{"F821", "00 01"}}},
      {"a four-character code listed as it is", "(vcp(F821 C6(03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80)))",
       {{"F821", ""}}},
      {"no table for version 4", "(vcp(10 12 C6(04 00 80)))", {}},
      {"flag bytes too short for the feature", "(vcp(10 12 C6(02 00)))", {}},
  };
  ExpectPairs(cases);
}

// Capability strings shaped like those real monitors report, each enabling several features.
TEST_F(CapstringToMapTest, EnabledFeaturesOfMonitorLikeStrings) {
  const PairsCase cases[] = {
      {"office monitor, table version 2",
       "(prot(monitor)type(LCD)model(QM24)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 0B 0C 10 12 14(04 05 06 08 0B) "
       "16 18 1A 52 60(0F 11 12) 62 6C 6E 70 72(50 64 78) 86(01 02 05) 87 8D(01 02) AC AE B2 B6 C0 "
       "C6(02 C0 F3 C0 F0 00 00 A0) C8 C9 CA(01 02) CC(01 02 03 04 05 06 07 08 09 0A 0C 0D 0E 14 16 1E) "
       "D6(01 04 05) DC(00 02 03 05) DF E0(00 01 02) EA(00 01) EC(00 01 02) EF(00 01) F2(00 01 02) F5(00 01) "
       "F8(03(00 01 02) 05(00 01) 06(00 01) 08(00 01 02) 0C(00 01) 0E(00 01)) FA FD)mswhql(1)asset_eep(40)"
       "mccs_ver(2.2))",
       {{"10", ""},
        {"12", ""},
        {"14", "04 05 06 08 0B"},
        {"16", ""},
        {"18", ""},
        {"1A", ""},
        {"72", "50 64 78"},
        {"DC", "00 02 03 05"},
        {"E0", "00 01 02"},
        {"EA", "00 01"},
        {"F803", "00 01 02"},
        {"F805", "00 01"}}},
      {"gaming monitor, table version 3",
       "(prot(monitor)type(LCD)model(GX27Q)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(05 06 08 0B) 16 18 "
       "1A 52 60(0F 11 12 1B) 62 86 87 8D "
       "C6(03 02 18 01 00 80 00 00 00 00 30 00 00 00 00 21 00 80 80) D6(01 04 05) DF E0 EB(00 01 02 03) EF(00 01) "
       "F8(06(00 01) 12(00 01) 16(00 01 02) 1A(00 01 02 03)))mccs_ver(2.2))",
       {{"60", "0F 11 12 1B"},
        {"EB", "00 01 02 03"},
        {"EF", "00 01"},
        {"F806", "00 01"},
        {"F812", "00 01"},
        {"F816", "00 01 02"},
        {"F81A", "00 01 02 03"}}},
      {"older monitor, table version 1",
       "(prot(monitor)type(lcd)model(Q22W)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(05 08 0B) 16 18 1A "
       "60(01 03 0F 11) 62 72(50 64 78) 95 96 97 98 A4 A5(00 01) AC AE B6 "
       "C6(01 00 00 A9 00 00 00 62 00 40 00 C0 00 00 00 00 00 03 00 01) C8 DC(00 01 02) E0(00 01) EC(00 01 02) "
       "F1 F2(00 01 02 03) F5 F8(03(00 01) 05(00 01 02)))mpu(01)mccs_ver(2.1))",
       {{"04", ""},
        {"10", ""},
        {"12", ""},
        {"60", "01 03 0F 11"},
        {"72", "50 64 78"},
        {"95", ""},
        {"96", ""},
        {"97", ""},
        {"98", ""},
        {"A4", ""},
        {"A5", "00 01"},
        {"DC", "00 01 02"},
        {"E0", "00 01"},
        {"EC", "00 01 02"},
        {"F2", "00 01 02 03"},
        {"F5", ""},
        {"F803", "00 01"},
        {"F805", "00 01 02"}}},
  };
  ExpectPairs(cases);
}

TEST_F(CapstringToMapTest, FillsNoMorePairsThanThereIsRoomFor) {
  const std::string caps = Sample("02 00 80 80");
  EXPECT_EQ(MapCaps(caps, 1), (Pairs{{"10", ""}}));
  EXPECT_EQ(MapCaps(caps, 0), Pairs{});
  EXPECT_EQ(MapCaps(caps, -5), Pairs{});

  std::uint32_t length = static_cast<std::uint32_t>(caps.size() + 1);
  std::int32_t count = -1;
  CapstringToMap(&length, caps.c_str(), nullptr, 100, &count);
  EXPECT_EQ(count, 0);
  CapstringToMap(&length, caps.c_str(), nullptr, 100, nullptr);  // nowhere to report: nothing happens
}

TEST_F(CapstringToMapTest, RefusesAStringTooShortWithoutReadingBeforeIt) {
  for (std::uint32_t length : {0u, 1u}) {
    SCOPED_TRACE(length);
    auto one = std::make_unique<char[]>(1);
    one[0] = ')';
    KeyValuePair pair{};
    std::int32_t count = -1;
    CapstringToMap(&length, one.get(), &pair, 1, &count);
    EXPECT_EQ(count, 0);
  }
  std::int32_t count = -1;
  KeyValuePair pair{};
  CapstringToMap(nullptr, "(vcp(10 C6(02 00 80)))", &pair, 1, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(LogLines(spdlog::level::warn).front(), "CapstringToMap: no tags in the capability string of 0 bytes");
}

TEST_F(CapstringToMapTest, UsesTheTableOfTheModuleThatSetGlobalHandleStored) {
  const std::string table = R"({"hash": "", "data": {"appEnableKeys_ver_2": [{"name": "Input", "type": "Feature",
      "position": {"byteStart": 2, "byteEnd": 2, "bitStart": 0, "bitEnd": 0}, "valuesDef": [],
      "parentName": null, "vcpCode": ["60"]}]}})";
  const std::string caps = "(vcp(10 12 60(0F 11) C6(02 00 80)))";
  {
    HandedTable handed(table);
    EXPECT_EQ(MapCaps(caps), (Pairs{{"60", "0F 11"}}));
  }
  EXPECT_EQ(MapCaps(caps), (Pairs{{"10", ""}, {"12", ""}}));  // the library's own table again
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"LoadJsonFile OK.", "LoadJsonFile OK."}));
}

TEST_F(CapstringToMapTest, OnlyAFieldReadingOneIsOn) {
  HandedTable handed(R"({"hash": "", "data": {"appEnableKeys_ver_2": [{"name": "Mode", "type": "Model Flags",
      "position": {"byteStart": 1, "byteEnd": 1, "bitStart": 6, "bitEnd": 7}, "valuesDef": [],
      "parentName": null, "vcpCode": ["10"]}]}})");
  for (const auto& [flags, pairs] : {std::pair{"02 01", Pairs{{"10", ""}}}, std::pair{"02 02", Pairs{}},
                                     std::pair{"02 03", Pairs{}}, std::pair{"02 00", Pairs{}}}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(MapCaps(std::string("(vcp(10 C6(") + flags + ")))"), pairs);
  }
}

TEST_F(CapstringToMapTest, AnUnusableTableGivesNoPairs) {
  const std::string caps = Sample("02 00 80");
  {
    HandedTable malformed(R"({"data": {"appEnableKeys_ver_2": [{"name": 1}]}})");
    EXPECT_EQ(MapCaps(caps), Pairs{});
  }
  {
    HandedTable empty("");
    EXPECT_EQ(MapCaps(caps), Pairs{});
  }
  {
    HandedTable none;
    EXPECT_EQ(MapCaps(caps), Pairs{});
  }
  EXPECT_EQ(LogLines(spdlog::level::warn),
            (std::vector<std::string>{
                "LoadAppEnableKeys: the model-flag table is not usable for version 2: [json.exception.type_error.302] "
                "type must be string, but is number",
                "LoadJsonFile text text.empty() ...", "LoadJsonResource: no JSON resource 101 (error 1812)",
                "LoadJsonFile text text.empty() ..."}));
}

TEST_F(CapstringToMapTest, CallsFromSeveralThreadsDoNotMeet) {
  const std::string first = Sample("02 00 80 80");
  const std::string second = "(vcp(60(0F 11) EB C6(03 00 18 00 00 80)))";
  const Pairs firstPairs{{"10", ""}, {"12", ""}, {"F805", "00 01"}};
  const Pairs secondPairs{{"60", "0F 11"}, {"EB", ""}};
  std::vector<Pairs> results(2);
  auto repeat = [](const std::string& caps, const Pairs& expected, Pairs& differing) {
    for (int i = 0; i < 10; ++i)
      if (Pairs pairs = MapCaps(caps); pairs != expected) differing = pairs;
  };
  std::thread a(repeat, std::cref(first), std::cref(firstPairs), std::ref(results[0]));
  std::thread b(repeat, std::cref(second), std::cref(secondPairs), std::ref(results[1]));
  a.join();
  b.join();
  EXPECT_EQ(results, std::vector<Pairs>(2));
}

TEST_F(CapstringToMapTest, FromTheMonitorsCapabilityString) {
  monsim::MonitorDescription monitor;
  monitor.serial = L"FLAGS";
  monitor.display.capabilities =
      "(prot(monitor)type(LCD)model(QM24)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(05 08 0B) 16 18 1A "
      "60(0F 11 12) 62 C6(02 01 B1 80) DC(00 02 03 05) E0(00 01 02) F8(03(00 01 02) 05(00 01)))mccs_ver(2.2))";
  monitor.display.capabilityFragment = 29;
  Simulator().Add(monitor);
  mchid::hid_device* handle = OpenRegistered(L"FLAGS");
  ASSERT_NE(handle, nullptr);

  std::vector<char> caps(6400);
  std::uint32_t length = 0;
  ASSERT_EQ(GetCapabilities(handle, &length, caps.data()), static_cast<std::int32_t>(monitor.display.capabilities->size() + 1));
  KeyValuePair pairs[100];
  std::int32_t count = -1;
  CapstringToMap(&length, caps.data(), pairs, 100, &count);
  // GUI type commercial; Brightness&Contrast, User Scenario, Game mode, Over Drive, Smart Energy.
  EXPECT_EQ(Collect(pairs, count),
            (Pairs{{"10", ""}, {"12", ""}, {"DC", "00 02 03 05"}, {"E0", "00 01 02"}, {"F805", "00 01"}}));
}

}  // namespace
