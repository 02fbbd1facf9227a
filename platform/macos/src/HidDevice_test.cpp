#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <variant>

#include "platform/macos/HidDeviceSource.h"
#include "platform/macos/IOKitHid.h"
#include "platform/macos/internal/InputPump.h"
#include "platform/macos/testing/ScriptedHidSource.h"

namespace {

using macstandin::testing::Bytes;
using macstandin::testing::ScriptedDevice;
using macstandin::testing::ScriptedHidSource;

mchid::HidCollection Monitor(const std::string& path) {
  mchid::HidCollection c;
  c.path = path;
  c.vendor_id = 0x3A71;
  c.product_id = 0xF00F;
  c.release_number = 0x0102;
  c.usage_page = 0x80;
  c.usage = 1;
  c.input_report_length = 65;
  c.manufacturer_string = L"Maker";
  c.product_string = L"Zun \U0001F5A5";
  return c;
}

std::wstring WideOf(CFTypeRef value) {
  auto text = static_cast<CFStringRef>(value);
  std::wstring wide(static_cast<std::size_t>(CFStringGetLength(text)), L'\0');
  CFIndex used = 0;
  CFStringGetBytes(text, CFRangeMake(0, CFStringGetLength(text)), kCFStringEncodingUTF32LE, '?', false,
                   reinterpret_cast<UInt8*>(wide.data()), static_cast<CFIndex>(wide.size() * sizeof(wchar_t)), &used);
  wide.resize(static_cast<std::size_t>(used) / sizeof(wchar_t));
  return wide;
}

class HidDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { macstandin::SetHidDeviceSource(m_source); }
  void TearDown() override { macstandin::SetHidDeviceSource(nullptr); }

  // The device as a HID manager lists it; the caller releases it.
  IOHIDDeviceRef ListedDevice(std::size_t index) {
    IOHIDManagerRef manager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerSetDeviceMatching(manager, nullptr);
    CFSetRef devices = IOHIDManagerCopyDevices(manager);
    std::vector<const void*> values(static_cast<std::size_t>(CFSetGetCount(devices)));
    CFSetGetValues(devices, values.data());
    auto device = index < values.size() ? static_cast<IOHIDDeviceRef>(const_cast<void*>(CFRetain(values[index])))
                                        : nullptr;
    CFRelease(devices);
    CFRelease(manager);
    return device;
  }

  // A device made from its registry path and opened, as an application would.
  IOHIDDeviceRef OpenedDevice(const std::string& path) {
    io_registry_entry_t entry = IORegistryEntryFromPath(kIOMainPortDefault, ("IOService:/Tarvik/" + path).c_str());
    IOHIDDeviceRef device = IOHIDDeviceCreate(kCFAllocatorDefault, entry);
    IOObjectRelease(entry);
    EXPECT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnSuccess);
    return device;
  }

  std::shared_ptr<ScriptedHidSource> m_source = std::make_shared<ScriptedHidSource>();
};

TEST_F(HidDeviceTest, PropertiesComeFromTheCollection) {
  m_source->Add(Monitor("sim/1"));
  IOHIDDeviceRef device = ListedDevice(0);
  ASSERT_NE(device, nullptr);
  using Expected = std::variant<std::monostate, int, std::wstring>;
  const std::pair<CFStringRef, Expected> cases[] = {
      {CFSTR(kIOHIDVendorIDKey), 0x3A71},
      {CFSTR(kIOHIDProductIDKey), 0xF00F},
      {CFSTR(kIOHIDVersionNumberKey), 0x0102},
      {CFSTR(kIOHIDPrimaryUsagePageKey), 0x80},
      {CFSTR(kIOHIDPrimaryUsageKey), 1},
      // The report-ID byte is not part of the sizes; a length of 0 stays 0.
      {CFSTR(kIOHIDMaxInputReportSizeKey), 64},
      {CFSTR(kIOHIDMaxOutputReportSizeKey), 0},
      {CFSTR(kIOHIDManufacturerKey), std::wstring(L"Maker")},
      {CFSTR(kIOHIDProductKey), std::wstring(L"Zun \U0001F5A5")},
      {CFSTR(kIOHIDSerialNumberKey), std::monostate{}},
  };
  for (const auto& [key, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(WideOf(key)));
    CFTypeRef value = IOHIDDeviceGetProperty(device, key);
    if (std::holds_alternative<std::monostate>(expected)) {
      EXPECT_EQ(value, nullptr);
    } else if (const int* number = std::get_if<int>(&expected)) {
      ASSERT_NE(value, nullptr);
      ASSERT_EQ(CFGetTypeID(value), CFNumberGetTypeID());
      int32_t got = 0;
      EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &got));
      EXPECT_EQ(got, *number);
    } else {
      ASSERT_NE(value, nullptr);
      ASSERT_EQ(CFGetTypeID(value), CFStringGetTypeID());
      EXPECT_EQ(WideOf(value), std::get<std::wstring>(expected));
    }
  }
  CFRelease(device);
}

TEST_F(HidDeviceTest, RegistryPathLeadsBackToTheDevice) {
  m_source->Add(Monitor("sim/1"));
  auto second = Monitor("sim/2");
  second.product_id = 0x1234;
  auto unplugged = m_source->Add(second);
  IOHIDDeviceRef listed = ListedDevice(1);
  io_string_t path;
  ASSERT_EQ(IORegistryEntryGetPath(IOHIDDeviceGetService(listed), kIOServicePlane, path), kIOReturnSuccess);
  EXPECT_STREQ(path, "IOService:/Tarvik/sim/2");

  io_registry_entry_t entry = IORegistryEntryFromPath(kIOMainPortDefault, path);
  ASSERT_NE(entry, static_cast<io_registry_entry_t>(IO_OBJECT_NULL));
  IOHIDDeviceRef created = IOHIDDeviceCreate(kCFAllocatorDefault, entry);
  IOObjectRelease(entry);
  int32_t product = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(IOHIDDeviceGetProperty(created, CFSTR(kIOHIDProductIDKey))),
                   kCFNumberSInt32Type, &product);
  EXPECT_EQ(product, 0x1234);

  unplugged->Unplug();
  EXPECT_EQ(IORegistryEntryFromPath(kIOMainPortDefault, path), static_cast<io_registry_entry_t>(IO_OBJECT_NULL));
  EXPECT_EQ(IORegistryEntryFromPath(kIOMainPortDefault, "IOService:/Tarvik/sim/9"),
            static_cast<io_registry_entry_t>(IO_OBJECT_NULL));
  EXPECT_EQ(IOHIDDeviceOpen(created, kIOHIDOptionsTypeNone), kIOReturnNoDevice);
  CFRelease(created);
  CFRelease(listed);
}

TEST_F(HidDeviceTest, PathTooLongForTheRegistryIsNotGiven) {
  m_source->Add(Monitor(std::string(600, 'p')));
  IOHIDDeviceRef device = ListedDevice(0);
  io_string_t path;
  EXPECT_NE(IORegistryEntryGetPath(IOHIDDeviceGetService(device), kIOServicePlane, path), kIOReturnSuccess);
  CFRelease(device);
}

// A report of ID 0 reaches the device with the ID byte in front; another ID is already in the
// report's first byte.
TEST_F(HidDeviceTest, ReportsCarryTheirIdByteToTheDevice) {
  auto monitor = m_source->Add(Monitor("sim/1"));
  IOHIDDeviceRef device = OpenedDevice("sim/1");
  struct Case {
    IOHIDReportType type;
    CFIndex reportId;
    Bytes report;
  };
  const Case cases[] = {
      {kIOHIDReportTypeOutput, 0, {1, 2}},
      {kIOHIDReportTypeOutput, 7, {7, 1}},
      {kIOHIDReportTypeFeature, 0, {9}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IOHIDDeviceSetReport(device, c.type, c.reportId, c.report.data(), static_cast<CFIndex>(c.report.size())),
              kIOReturnSuccess);
  }
  EXPECT_EQ(monitor->Written(), (std::vector<Bytes>{{0, 1, 2}, {7, 1}}));
  EXPECT_EQ(monitor->FeaturesSent(), (std::vector<Bytes>{{0, 9}}));

  monitor->SetReportContent({0xA, 0xB, 0xC});
  uint8_t report[3] = {};
  CFIndex length = 3;
  ASSERT_EQ(IOHIDDeviceGetReport(device, kIOHIDReportTypeInput, 0, report, &length), kIOReturnSuccess);
  EXPECT_EQ(Bytes(report, report + length), (Bytes{0xA, 0xB, 0xC}));
  length = 3;
  ASSERT_EQ(IOHIDDeviceGetReport(device, kIOHIDReportTypeFeature, 4, report, &length), kIOReturnSuccess);
  EXPECT_EQ(Bytes(report, report + length), (Bytes{4, 0xA, 0xB}));

  EXPECT_EQ(IOHIDDeviceClose(device, kIOHIDOptionsTypeNone), kIOReturnSuccess);
  EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report, 1), kIOReturnNotOpen);
  CFRelease(device);
}

struct Delivery {
  std::thread::id thread;
  Bytes report;
};

struct Deliveries {
  std::vector<Delivery> reports;
  bool removed = false;
};

TEST_F(HidDeviceTest, InputReportsAndRemovalArriveOnTheScheduledRunLoop) {
  auto monitor = m_source->Add(Monitor("sim/1"));
  IOHIDDeviceRef device = OpenedDevice("sim/1");
  monitor->QueueInput({{1, 2, 3}, {4}});
  monitor->Unplug();
  Deliveries deliveries;
  uint8_t buffer[2];
  IOHIDDeviceRegisterInputReportCallback(
      device, buffer, sizeof buffer,
      [](void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t* report, CFIndex length) {
        static_cast<Deliveries*>(context)->reports.push_back({std::this_thread::get_id(), Bytes(report, report + length)});
      },
      &deliveries);
  IOHIDDeviceRegisterRemovalCallback(
      device,
      [](void* context, IOReturn, void*) {
        static_cast<Deliveries*>(context)->removed = true;
        CFRunLoopStop(CFRunLoopGetCurrent());
      },
      &deliveries);

  std::thread::id loopThread;
  std::thread([&] {
    loopThread = std::this_thread::get_id();
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    while (!deliveries.removed) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1000, false);
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  }).join();

  ASSERT_EQ(deliveries.reports.size(), 2u);
  EXPECT_EQ(deliveries.reports[0].thread, loopThread);
  EXPECT_EQ(deliveries.reports[0].report, (Bytes{1, 2}));  // as much as the buffer holds
  EXPECT_EQ(deliveries.reports[1].report, (Bytes{4}));
  EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, buffer, 1), kIOReturnNoDevice);
  CFRelease(device);
}

TEST_F(HidDeviceTest, EmptyReadsAnsweredAtOnceWaitOutTheirSlice) {
  auto monitor = m_source->Add(Monitor("sim/1"));
  monitor->AnswerEmptyReadsAtOnce();
  IOHIDDeviceRef device = OpenedDevice("sim/1");
  uint8_t buffer[64];
  IOHIDDeviceRegisterInputReportCallback(
      device, buffer, sizeof buffer, [](void*, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex) {},
      nullptr);
  std::thread([&] {
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    while (monitor->ReadTimes().size() < 3) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.01, false);
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
  }).join();
  auto times = monitor->ReadTimes();
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], macstandin::kInputReadSlice);
  CFRelease(device);
}

}  // namespace
