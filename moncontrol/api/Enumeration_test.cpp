#include <cstdlib>
#include <optional>
#include <string>

#include "moncontrol/api/Devices.h"
#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/api/StatusCodes.h"

namespace {

using EnumerationTest = MonCtrlTest;

// A monitor whose control collection sits between two others.
monsim::MonitorDescription ThreeCollectionMonitor() {
  monsim::MonitorDescription monitor;
  monitor.serial = L"ENUM1";
  monitor.manufacturer = L"Quelmo";
  monitor.product = L"Halvane 27";
  monitor.releaseNumber = 0x0102;
  monitor.collections = {{0x0C, 1, 1, 3, 2}, {0x80, 1, 2, 65, 65}, {0xFF00, 2, 3, 9, 17}};
  return monitor;
}

TEST_F(EnumerationTest, CountsAndListsTheControlInterfaceOrEveryCollection) {
  Simulator().Add(ThreeCollectionMonitor());
  monsim::MonitorDescription stranger;
  stranger.vendorId = 0x1234;
  stranger.serial = L"OTHER";
  Simulator().Add(stranger);

  EXPECT_EQ(GetMonCtrlCount(0), 1);
  EXPECT_EQ(GetMonCtrlCount(1), 3);

  tagMONCTRLINFO* list = nullptr;
  ASSERT_EQ(GetMonCtrlList(&list, 1), 3);
  ASSERT_NE(list, nullptr);
  struct Expected {
    std::uint16_t usagePage, usage;
    std::int32_t interfaceNumber;
    std::uint32_t input, output;
  };
  const Expected expected[] = {{0x0C, 1, 1, 3, 2}, {0x80, 1, 2, 65, 65}, {0xFF00, 2, 3, 9, 17}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list[i].vendor_id, 0x3A71u);
    EXPECT_EQ(list[i].product_id, 0xF00Fu);
    EXPECT_EQ(list[i].release_number, 0x0102u);
    EXPECT_EQ(list[i].usage_page, expected[i].usagePage);
    EXPECT_EQ(list[i].usage, expected[i].usage);
    EXPECT_EQ(list[i].interface_number, expected[i].interfaceNumber);
    EXPECT_EQ(list[i].input_report_length, expected[i].input);
    EXPECT_EQ(list[i].output_report_length, expected[i].output);
    EXPECT_STREQ(list[i].serial_number, L"ENUM1");
    EXPECT_STREQ(list[i].manufacturer_string, L"Quelmo");
    EXPECT_STREQ(list[i].product_string, L"Halvane 27");
  }

  ASSERT_EQ(GetMonCtrlList(&list, 0), 1);
  EXPECT_EQ(list[0].usage_page, 0x80);
  EXPECT_EQ(list[0].interface_number, 2);
  std::free(list);
}

TEST_F(EnumerationTest, CopiesEachStringBoundedAndEmptyWhenMissing) {
  struct Case {
    const char* name;
    std::optional<std::wstring> text;
    std::wstring listed;
  };
  const std::wstring longText(600, L'x');
  const Case cases[] = {
      {"missing", std::nullopt, L""},
      {"empty", L"", L""},
      {"plain", L"Halvane 27", L"Halvane 27"},
      {"just fits", std::wstring(511, L'y'), std::wstring(511, L'y')},
      {"too long", longText, std::wstring(511, L'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto backend = std::make_shared<testkit::ScriptedHidBackend>();
    mchid::HidCollection collection = testkit::MonitorCollection("scripted:strings", L"");
    collection.serial_number = c.text;
    collection.manufacturer_string = c.text;
    collection.product_string = c.text;
    backend->AddDevice(collection);
    mchid::SetHidBackend(backend);

    tagMONCTRLINFO* list = nullptr;
    ASSERT_EQ(GetMonCtrlList(&list, 0), 1);
    EXPECT_EQ(std::wstring(list[0].serial_number), c.listed);
    EXPECT_EQ(std::wstring(list[0].manufacturer_string), c.listed);
    EXPECT_EQ(std::wstring(list[0].product_string), c.listed);
    std::free(list);
  }
}

TEST_F(EnumerationTest, ReleasesTheEarlierListAndLeavesNoneWhenTheMonitorsAreGone) {
  std::string id = Simulator().Add(ThreeCollectionMonitor());
  tagMONCTRLINFO* list = nullptr;
  ASSERT_EQ(GetMonCtrlList(&list, 1), 3);
  // The first array is freed here; LeakSanitizer reports it otherwise.
  ASSERT_EQ(GetMonCtrlList(&list, 1), 3);

  ASSERT_TRUE(Simulator().Unplug(id));
  EXPECT_EQ(GetMonCtrlList(&list, 1), 0);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(GetMonCtrlCount(1), 0);
  EXPECT_EQ(OpenMonCtrl(L"Halvane 27", nullptr), nullptr);
  EXPECT_EQ(GetMonCtrlList(nullptr, 0), MC_ERR_INVALID_ARG);
}

}  // namespace
