#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "moncontrol/hid/HidApi.h"
#include "moncontrol/hid/HidBackend.h"

namespace mchid {
namespace {

using Bytes = std::vector<unsigned char>;

// What the layer asked of the devices it opened.
struct DeviceTraffic {
  std::vector<std::string> openedPaths;
  std::vector<Bytes> interruptWrites;
  std::vector<Bytes> outputReports;
  std::vector<Bytes> featureReports;
  std::vector<unsigned char> inputReportIds;
  bool failReports = false;
};

class FakeConnection : public HidConnection {
 public:
  FakeConnection(HidCollection collection, std::shared_ptr<DeviceTraffic> traffic)
      : collection_(std::move(collection)), traffic_(std::move(traffic)) {}

  int WriteReport(const unsigned char* data, std::size_t length) override {
    traffic_->interruptWrites.emplace_back(data, data + length);
    return static_cast<int>(length);
  }
  int ReadReport(unsigned char*, std::size_t, int) override { return 0; }
  int SendFeatureReport(const unsigned char* data, std::size_t length) override {
    if (traffic_->failReports) return -1;
    traffic_->featureReports.emplace_back(data, data + length);
    return static_cast<int>(length);
  }
  int GetFeatureReport(unsigned char*, std::size_t) override { return -1; }
  bool GetInputReport(unsigned char* data, std::size_t length) override {
    traffic_->inputReportIds.push_back(data[0]);
    if (traffic_->failReports) return false;
    for (std::size_t i = 1; i < length; ++i) data[i] = 0xA5;
    return true;
  }
  bool SetOutputReport(const unsigned char* data, std::size_t length) override {
    if (traffic_->failReports) return false;
    traffic_->outputReports.emplace_back(data, data + length);
    return true;
  }
  const HidCollection& Collection() const override { return collection_; }
  long long SystemHandle() const override { return 42; }

 private:
  HidCollection collection_;
  std::shared_ptr<DeviceTraffic> traffic_;
};

class FakeBackend : public HidBackend {
 public:
  explicit FakeBackend(std::vector<HidCollection> collections)
      : collections_(std::move(collections)) {}

  std::vector<HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    ++enumerations;
    std::vector<HidCollection> found;
    for (const HidCollection& c : collections_) {
      if ((vendorId == 0 || c.vendor_id == vendorId) && (productId == 0 || c.product_id == productId))
        found.push_back(c);
    }
    return found;
  }
  std::unique_ptr<HidConnection> OpenPath(const std::string& path) override {
    if (path == failingPath) return nullptr;
    for (const HidCollection& c : collections_) {
      if (c.path == path) {
        traffic->openedPaths.push_back(path);
        return std::make_unique<FakeConnection>(c, traffic);
      }
    }
    return nullptr;
  }

  int enumerations = 0;
  std::string failingPath;
  std::shared_ptr<DeviceTraffic> traffic = std::make_shared<DeviceTraffic>();

 private:
  std::vector<HidCollection> collections_;
};

HidCollection Collection(std::string path, std::optional<std::wstring> serial, int interfaceNumber,
                         std::uint16_t vendorId = 0x3A71) {
  HidCollection c;
  c.path = std::move(path);
  c.vendor_id = vendorId;
  c.product_id = 0xF00F;
  c.serial_number = std::move(serial);
  c.interface_number = interfaceNumber;
  c.usage_page = 0x80;
  c.usage = 1;
  c.input_report_length = 65;
  c.output_report_length = 65;
  return c;
}

class HidLayerTest : public testing::Test {
 protected:
  void Install(std::vector<HidCollection> collections) {
    backend_ = std::make_shared<FakeBackend>(std::move(collections));
    SetHidBackend(backend_);
  }
  void TearDown() override { SetHidBackend(nullptr); }

  std::shared_ptr<FakeBackend> backend_;
};

// One monitor with two interfaces, one without serial number, one of another vendor.
std::vector<HidCollection> Devices() {
  return {Collection("other", L"S1", 0, 0x1234), Collection("mon-a0", L"SA", 0),
          Collection("mon-a1", L"SA", 1), Collection("mon-noserial", std::nullopt, 0),
          Collection("mon-b0", L"SB", 0)};
}

struct OpenCase {
  std::string name;
  const wchar_t* serial;
  int interfaceNumber;
  std::string openedPath;  // empty: no device
  int enumerations;
};

class HidOpenTest : public HidLayerTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(HidOpenTest, OpensTheFirstMatchingCollection) {
  const OpenCase& c = GetParam();
  Install(Devices());
  hid_device* device = hid_open(0x3A71, 0xF00F, c.serial, c.interfaceNumber);
  if (c.openedPath.empty()) {
    EXPECT_EQ(device, nullptr);
    EXPECT_TRUE(backend_->traffic->openedPaths.empty());
  } else {
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(backend_->traffic->openedPaths, std::vector<std::string>{c.openedPath});
  }
  EXPECT_EQ(backend_->enumerations, c.enumerations);
  hid_close(device);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HidOpenTest,
    testing::Values(OpenCase{"AnyInterfaceNullSerial", nullptr, -1, "mon-a0", 1},
                    OpenCase{"InvalidInterface", nullptr, -2, "", 0},
                    OpenCase{"SecondInterface", L"SA", 1, "mon-a1", 1},
                    OpenCase{"SerialOfLaterDevice", L"SB", -1, "mon-b0", 1},
                    OpenCase{"UnknownSerial", L"SX", -1, "", 1},
                    OpenCase{"NoSuchInterface", nullptr, 5, "", 1}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST_F(HidLayerTest, DeviceWithoutSerialOpensOnlyWithNullSerial) {
  Install({Collection("mon-noserial", std::nullopt, 0)});
  EXPECT_EQ(hid_open(0x3A71, 0xF00F, L"", -1), nullptr);
  hid_device* device = hid_open(0x3A71, 0xF00F, nullptr, -1);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(backend_->traffic->openedPaths, std::vector<std::string>{"mon-noserial"});
  hid_close(device);
}

TEST_F(HidLayerTest, OpenFailureOfTheMatchGivesNull) {
  Install(Devices());
  backend_->failingPath = "mon-a0";
  EXPECT_EQ(hid_open(0x3A71, 0xF00F, nullptr, -1), nullptr);
}

TEST_F(HidLayerTest, EnumerationCarriesReportLengthsAndMissingStrings) {
  HidCollection unreadable = Collection("mon-unreadable", std::nullopt, 1);
  unreadable.usage_page = unreadable.usage = 0;
  unreadable.input_report_length = unreadable.output_report_length = 0;
  Install({Collection("mon-a0", L"SA", 0), unreadable});

  hid_device_info* list = hid_enumerate(0x3A71, 0xF00F);
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->path, "mon-a0");
  EXPECT_EQ(list->input_report_length, 65);
  EXPECT_EQ(list->output_report_length, 65);
  EXPECT_STREQ(list->serial_number, L"SA");
  EXPECT_EQ(list->manufacturer_string, nullptr);
  const hid_device_info* second = list->next;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->serial_number, nullptr);
  EXPECT_EQ(second->usage_page, 0);
  EXPECT_EQ(second->input_report_length, 0);
  EXPECT_EQ(second->interface_number, 1);
  EXPECT_EQ(second->next, nullptr);
  hid_free_enumeration(list);
}

struct SetReportCase {
  std::string name;
  int reportType;
  bool feature;
};

class HidSetReportTest : public HidLayerTest, public testing::WithParamInterface<SetReportCase> {};

TEST_P(HidSetReportTest, FeatureTypeGoesToTheFeaturePathOthersToTheOutputPath) {
  Install(Devices());
  hid_device* device = hid_open_path("mon-a0");
  ASSERT_NE(device, nullptr);
  const Bytes report = {0x00, 0x11, 0x22};
  EXPECT_NE(hid_set_report(device, GetParam().reportType, report.data(), report.size()), 0);
  const DeviceTraffic& t = *backend_->traffic;
  EXPECT_EQ(t.featureReports, GetParam().feature ? std::vector<Bytes>{report} : std::vector<Bytes>{});
  EXPECT_EQ(t.outputReports, GetParam().feature ? std::vector<Bytes>{} : std::vector<Bytes>{report});
  EXPECT_TRUE(t.interruptWrites.empty());
  hid_close(device);
}

INSTANTIATE_TEST_SUITE_P(Cases, HidSetReportTest,
                         testing::Values(SetReportCase{"Feature", 3, true},
                                         SetReportCase{"Input", 1, false},
                                         SetReportCase{"Output", 2, false},
                                         SetReportCase{"Zero", 0, false}),
                         [](const testing::TestParamInfo<SetReportCase>& info) {
                           return info.param.name;
                         });

TEST_F(HidLayerTest, ReportFailuresGiveZero) {
  Install(Devices());
  hid_device* device = hid_open_path("mon-a0");
  ASSERT_NE(device, nullptr);
  backend_->traffic->failReports = true;
  unsigned char buffer[4] = {};
  EXPECT_EQ(hid_set_report(device, 3, buffer, sizeof buffer), 0);
  EXPECT_EQ(hid_set_report(device, 2, buffer, sizeof buffer), 0);
  EXPECT_EQ(hid_get_report(device, 1, buffer, sizeof buffer), 0);
  EXPECT_NE(hid_error(device), nullptr);
  EXPECT_EQ(hid_set_report(nullptr, 2, buffer, sizeof buffer), 0);
  EXPECT_EQ(hid_get_report(nullptr, 1, buffer, sizeof buffer), 0);
  hid_close(device);
}

TEST_F(HidLayerTest, GetReportAsksForTheGivenReportId) {
  Install(Devices());
  hid_device* device = hid_open_path("mon-a0");
  ASSERT_NE(device, nullptr);
  unsigned char buffer[4] = {0xFF, 0, 0, 0};
  EXPECT_NE(hid_get_report(device, 0x05, buffer, sizeof buffer), 0);
  EXPECT_EQ(backend_->traffic->inputReportIds, std::vector<unsigned char>{0x05});
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0x05, 0xA5, 0xA5, 0xA5}));
  hid_close(device);
}

TEST_F(HidLayerTest, HandleAccessorGivesTheSystemHandle) {
  Install(Devices());
  hid_device* device = hid_open_path("mon-a0");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(hid_get_handle(device), 42);
  EXPECT_EQ(hid_get_handle(nullptr), -1);
  hid_close(device);
}

TEST_F(HidLayerTest, WriteSendsExactlyOneOutputReport) {
  HidCollection small = Collection("mon-small", L"SA", 0);
  small.output_report_length = 5;
  Install({small});
  hid_device* device = hid_open_path("mon-small");
  ASSERT_NE(device, nullptr);

  const Bytes shortWrite = {0x00, 0x01, 0x02};
  const Bytes longWrite = {0x00, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(hid_write(device, shortWrite.data(), shortWrite.size()), 5);
  EXPECT_EQ(hid_write(device, longWrite.data(), longWrite.size()), 5);
  EXPECT_EQ(backend_->traffic->interruptWrites,
            (std::vector<Bytes>{{0x00, 0x01, 0x02, 0x00, 0x00}, {0x00, 1, 2, 3, 4}}));
  hid_close(device);
}

}  // namespace
}  // namespace mchid
