#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "moncontrol/hid/HidApi.h"
#include "platform/macos/HidDeviceSource.h"
#include "platform/macos/testing/ScriptedHidSource.h"

namespace mchid {
namespace {

using macstandin::testing::Bytes;
using macstandin::testing::ScriptedDevice;
using macstandin::testing::ScriptedHidSource;

constexpr unsigned short kVendor = 0x3A71;
constexpr unsigned short kProduct = 0xF00F;

struct MonitorSpec {
  std::string path;
  std::optional<std::wstring> serial;
  std::wstring product;
  unsigned short usagePage = 0x80;
  std::uint16_t outputReportLength = 65;
};

HidCollection CollectionOf(const MonitorSpec& spec) {
  HidCollection c;
  c.path = spec.path;
  c.vendor_id = kVendor;
  c.product_id = kProduct;
  c.serial_number = spec.serial;
  c.release_number = 0x0210;
  c.manufacturer_string = L"Maker";
  c.product_string = spec.product;
  c.usage_page = spec.usagePage;
  c.usage = 1;
  c.interface_number = 2;  // the platform has none to show
  c.input_report_length = 65;
  c.output_report_length = spec.outputReportLength;
  return c;
}

std::wstring ProductOf(hid_device* device) {
  wchar_t text[64];
  EXPECT_EQ(hid_get_product_string(device, text, 64), 0);
  return text;
}

class MacHidLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { macstandin::SetHidDeviceSource(m_source); }
  void TearDown() override { macstandin::SetHidDeviceSource(nullptr); }

  std::shared_ptr<ScriptedDevice> Add(const MonitorSpec& spec) { return m_source->Add(CollectionOf(spec)); }

  std::shared_ptr<ScriptedHidSource> m_source = std::make_shared<ScriptedHidSource>();
};

TEST_F(MacHidLayerTest, RecordsShowTheDeviceProperties) {
  Add({"usb/1", L"S1", L"Zun 27"});
  Add({"usb/2", std::nullopt, L"Zun 32"});
  auto other = CollectionOf({"usb/3", L"K", L"Keyboard"});
  other.vendor_id = 0x1111;
  m_source->Add(other);

  hid_device_info* list = hid_enumerate(kVendor, 0);
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->path, "IOService:/Tarvik/usb/1");
  EXPECT_EQ(list->vendor_id, kVendor);
  EXPECT_EQ(list->product_id, kProduct);
  EXPECT_STREQ(list->serial_number, L"S1");
  EXPECT_EQ(list->release_number, 0x0210);
  EXPECT_STREQ(list->manufacturer_string, L"Maker");
  EXPECT_STREQ(list->product_string, L"Zun 27");
  EXPECT_EQ(list->usage_page, 0x80);
  EXPECT_EQ(list->usage, 1);
  ASSERT_NE(list->next, nullptr);
  EXPECT_EQ(list->next->serial_number, nullptr);
  EXPECT_EQ(list->next->next, nullptr);
  for (hid_device_info* info = list; info; info = info->next) {
    EXPECT_EQ(info->interface_number, -1);
    EXPECT_EQ(info->input_report_length, 0);
    EXPECT_EQ(info->output_report_length, 0);
  }
  hid_free_enumeration(list);
}

TEST_F(MacHidLayerTest, FilterOnVendorAndProduct) {
  Add({"usb/1", L"S1", L"Zun 27"});
  auto other = CollectionOf({"usb/2", L"K", L"Keyboard"});
  other.product_id = 0x2222;
  m_source->Add(other);
  struct Case {
    unsigned short vendor, product;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {0, 0, {"IOService:/Tarvik/usb/1", "IOService:/Tarvik/usb/2"}},
      {kVendor, 0, {"IOService:/Tarvik/usb/1", "IOService:/Tarvik/usb/2"}},
      {0, 0x2222, {"IOService:/Tarvik/usb/2"}},
      {kVendor, kProduct, {"IOService:/Tarvik/usb/1"}},
      {0x1111, kProduct, {}},
  };
  for (const Case& c : cases) {
    hid_device_info* list = hid_enumerate(c.vendor, c.product);
    std::vector<std::string> paths;
    for (hid_device_info* info = list; info; info = info->next) paths.push_back(info->path);
    EXPECT_EQ(paths, c.paths) << c.vendor << ":" << c.product;
    hid_free_enumeration(list);
  }
}

TEST_F(MacHidLayerTest, EachEnumerationAfterAFreeUsesANewManagerAndListsEveryDevice) {
  Add({"usb/1", L"S1", L"Zun 27"});
  Add({"usb/2", L"S2", L"Zun 32"});
  for (int round = 0; round < 2; ++round) {
    int managers = macstandin::HidManagersCreated();
    hid_device_info* list = hid_enumerate(0, 0);
    EXPECT_EQ(macstandin::HidManagersCreated(), managers + 1);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_STREQ(list->next->serial_number, L"S2");
    hid_free_enumeration(list);
  }
}

TEST_F(MacHidLayerTest, OpenTakesTheFirstListedMatch) {
  Add({"usb/1", std::nullopt, L"no serial"});
  Add({"usb/2", L"S1", L"first S1, vendor page"});
  Add({"usb/3", L"S1", L"second S1, other page", 0xFF00});
  Add({"usb/4", L"S2", L"S2"});
  struct Case {
    const wchar_t* serial;
    int interfaceNumber;
    const wchar_t* opened;  // product string, null when nothing opens
  };
  const Case cases[] = {
      {nullptr, -1, L"no serial"},
      {L"S2", -1, L"S2"},
      // The interface cannot tell collections apart here, so it is not looked at.
      {L"S1", 1, L"first S1, vendor page"},
      {L"S3", -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial ? c.serial : L"(null)");
    hid_device* device = hid_open(kVendor, kProduct, c.serial, c.interfaceNumber);
    if (c.opened == nullptr) {
      EXPECT_EQ(device, nullptr);
      EXPECT_NE(hid_error(nullptr), nullptr);
      continue;
    }
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(ProductOf(device), c.opened);
    hid_close(device);
  }
}

TEST_F(MacHidLayerTest, OpenPathRefusesWhatIsNoDevice) {
  Add({"usb/1", L"S1", L"Zun 27"});
  for (const char* path : {"", "usb/1", "IOService:/Tarvik/usb/9"}) {
    EXPECT_EQ(hid_open_path(path), nullptr) << path;
  }
}

TEST_F(MacHidLayerTest, StringsAreCutToTheBuffer) {
  Add({"usb/1", std::nullopt, L"Zun 27"});
  hid_device* device = hid_open_path("IOService:/Tarvik/usb/1");
  ASSERT_NE(device, nullptr);
  wchar_t text[4];
  EXPECT_EQ(hid_get_product_string(device, text, 4), 0);
  EXPECT_STREQ(text, L"Zun");
  EXPECT_EQ(hid_get_serial_number_string(device, text, 4), -1);
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(hid_get_indexed_string(device, 1, text, 4), -1);
  EXPECT_NE(hid_error(device), nullptr);
  hid_close(device);
}

Bytes Data(std::size_t length) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(MacHidLayerTest, ShortReportsArePaddedToTheOutputReportSize) {
  struct Case {
    std::uint16_t outputReportLength;  // report-ID byte included
    bool feature;
    Bytes report;
    Bytes reachesDevice;  // with the ID byte the device sees in front
  };
  const Case cases[] = {
      {33, false, Concat({0}, Data(9)), Concat(Concat({0}, Data(9)), Bytes(23, 0))},
      {65, false, Concat({0}, Data(39)), Concat(Concat({0}, Data(39)), Bytes(25, 0))},
      {65, false, Concat({0}, Data(70)), Concat({0}, Data(70))},
      {9, false, {5, 1, 2, 3}, {5, 1, 2, 3, 0, 0, 0, 0}},
      {0, false, {0, 1, 2}, {0, 1, 2}},
      {33, true, Concat({0}, Data(9)), Concat(Concat({0}, Data(9)), Bytes(23, 0))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.outputReportLength << (c.feature ? " feature " : " output ") << c.report.size());
    m_source = std::make_shared<ScriptedHidSource>();
    macstandin::SetHidDeviceSource(m_source);
    auto monitor = Add({"usb/1", L"S1", L"Zun 27", 0x80, c.outputReportLength});
    hid_device* device = hid_open_path("IOService:/Tarvik/usb/1");
    ASSERT_NE(device, nullptr);
    int written = c.feature ? hid_send_feature_report(device, c.report.data(), c.report.size())
                            : hid_write(device, c.report.data(), c.report.size());
    EXPECT_EQ(written, static_cast<int>(c.report.size()));
    EXPECT_EQ(c.feature ? monitor->FeaturesSent() : monitor->Written(), std::vector<Bytes>{c.reachesDevice});
    hid_close(device);
  }
}

TEST_F(MacHidLayerTest, AReportTheSystemRefusesIsAFailedWrite) {
  auto monitor = Add({"usb/1", L"S1", L"Zun 27"});
  monitor->RefuseWrites();
  hid_device* device = hid_open_path("IOService:/Tarvik/usb/1");
  const Bytes report = Concat({0}, Data(9));
  EXPECT_EQ(hid_write(device, report.data(), report.size()), -1);
  EXPECT_NE(hid_error(device), nullptr);
  hid_close(device);
}

TEST_F(MacHidLayerTest, ReportCallsNameTheReportId) {
  auto monitor = Add({"usb/1", L"S1", L"Zun 27"});
  monitor->SetReportContent({0xA, 0xB, 0xC, 0xD});
  hid_device* device = hid_open_path("IOService:/Tarvik/usb/1");
  const Bytes data{1, 2, 3};
  // Only the low 8 bits of the ID count: 0x100 is report ID 0.
  EXPECT_EQ(hid_set_report(device, 0x100, data.data(), data.size()), 3);
  EXPECT_EQ(monitor->Written(), std::vector<Bytes>{Concat({0}, data)});

  unsigned char buffer[3] = {};
  EXPECT_EQ(hid_get_report(device, 0, buffer, sizeof buffer), 3);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0xA, 0xB, 0xC}));

  unsigned char feature[4] = {0};
  EXPECT_EQ(hid_get_feature_report(device, feature, sizeof feature), 4);
  EXPECT_EQ(Bytes(feature, feature + 4), (Bytes{0, 0xA, 0xB, 0xC}));
  hid_close(device);
}

class MacHidInputTest : public MacHidLayerTest {
 protected:
  void SetUp() override {
    MacHidLayerTest::SetUp();
    m_monitor = Add({"usb/1", L"S1", L"Zun 27"});
    m_device = hid_open_path("IOService:/Tarvik/usb/1");
    ASSERT_NE(m_device, nullptr);
  }
  void TearDown() override {
    hid_close(m_device);
    MacHidLayerTest::TearDown();
  }

  // Writes stop reaching the device once the removal has been told to the layer, after the
  // reports that came before it; until then they reach it and fail there.
  void WaitUntilDisconnected() {
    const unsigned char report[] = {0, 1};
    for (;;) {
      std::size_t attempts = m_monitor->WriteAttempts();
      EXPECT_EQ(hid_write(m_device, report, sizeof report), -1);
      if (m_monitor->WriteAttempts() == attempts) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  std::shared_ptr<ScriptedDevice> m_monitor;
  hid_device* m_device = nullptr;
};

TEST_F(MacHidInputTest, ReadsTakeQueuedReportsOrTimeOut) {
  unsigned char buffer[8];
  EXPECT_EQ(hid_read_timeout(m_device, buffer, sizeof buffer, 0), 0);
  EXPECT_EQ(hid_set_nonblocking(m_device, 1), 0);
  EXPECT_EQ(hid_read(m_device, buffer, sizeof buffer), 0);
  EXPECT_EQ(hid_read_timeout(m_device, buffer, sizeof buffer, 20), 0);

  m_monitor->QueueInput({Data(12), {7}});
  EXPECT_EQ(hid_read_timeout(m_device, buffer, sizeof buffer, -1), 8);  // cut to the buffer
  EXPECT_EQ(Bytes(buffer, buffer + 8), Data(8));
  EXPECT_EQ(hid_set_nonblocking(m_device, 0), 0);
  EXPECT_EQ(hid_read(m_device, buffer, sizeof buffer), 1);
  EXPECT_EQ(buffer[0], 7);
}

TEST_F(MacHidInputTest, ARemovedDeviceKeepsItsNewestReportsThenFails) {
  std::vector<Bytes> reports;
  for (std::uint8_t i = 1; i <= 35; ++i) reports.push_back({i});
  m_monitor->QueueInput(reports);
  m_monitor->Unplug();
  WaitUntilDisconnected();

  unsigned char buffer[4];
  for (std::uint8_t expected = 6; expected <= 35; ++expected) {
    ASSERT_EQ(hid_read_timeout(m_device, buffer, sizeof buffer, 0), 1);
    EXPECT_EQ(buffer[0], expected);
  }
  EXPECT_EQ(hid_read_timeout(m_device, buffer, sizeof buffer, -1), -1);
  EXPECT_EQ(hid_read(m_device, buffer, sizeof buffer), -1);
  const unsigned char feature[] = {0, 1};
  EXPECT_EQ(hid_send_feature_report(m_device, feature, sizeof feature), -1);
  EXPECT_EQ(hid_get_report(m_device, 0, buffer, sizeof buffer), -1);
}

}  // namespace
}  // namespace mchid
