#include <algorithm>
#include <optional>
#include <string>

#include "moncontrol/api/DeviceMutex.h"
#include "moncontrol/api/DeviceRegistry.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/hid/HidDevice.h"

namespace {

using OpenCloseTest = MonCtrlTest;

monsim::MonitorDescription Monitor(std::optional<std::wstring> serial, const std::wstring& product) {
  monsim::MonitorDescription monitor;
  monitor.serial = std::move(serial);
  monitor.product = product;
  return monitor;
}

const mchid::HidCollection& CollectionOf(mchid::hid_device* handle) { return handle->connection->Collection(); }

std::size_t MutexCount() {
  return WithLibraryState([](LibraryState& state) { return state.mutexes.size(); });
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

TEST_F(OpenCloseTest, OpenMonCtrlTakesTheFirstControlInterfaceWithTheProductAndSerial) {
  Simulator().Add(Monitor(L"A", L"P1"));
  Simulator().Add(Monitor(L"B", L"P2"));
  Simulator().Add(Monitor(L"C", L"P1"));
  Simulator().Add(Monitor(std::nullopt, L"P4"));
  // Its first collection is not the control interface.
  monsim::MonitorDescription split = Monitor(L"E", L"P5");
  split.collections = {{0x0C, 1, 1, 3, 3}, {0x80, 1, 0, 65, 65}};
  Simulator().Add(split);

  struct Case {
    const wchar_t* product;
    const wchar_t* serial;
    std::optional<std::wstring> opened;  // its serial number
  };
  const Case cases[] = {
      {L"P1", nullptr, L"A"}, {L"P1", L"", L"A"},     {L"P1", L"C", L"C"},    {L"P2", L"A", std::nullopt},
      {nullptr, nullptr, std::nullopt}, {L"P3", nullptr, std::nullopt}, {L"P4", nullptr, L""},
      {L"P5", L"E", L"E"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.product ? c.product : L"(null)") << " / "
                                    << (c.serial ? c.serial : L"(null)"));
    mchid::hid_device* handle = OpenMonCtrl(c.product, c.serial);
    ASSERT_EQ(handle != nullptr, c.opened.has_value());
    if (handle == nullptr) continue;
    EXPECT_EQ(CollectionOf(handle).serial_number.value_or(L""), *c.opened);
    EXPECT_EQ(CollectionOf(handle).product_string, std::wstring(c.product));
    EXPECT_EQ(CollectionOf(handle).usage_page, 0x80);
    // Not registered: it locks with the agent's mutex.
    EXPECT_STREQ(GetMutexName(handle), L"Global\\HalvaneSDK");
    CloseMonCtrl(handle);
  }
}

TEST_F(OpenCloseTest, OpenMonCtrl2OpensByInterfaceAndSerialAndRegistersTheKey) {
  monsim::MonitorDescription monitor = Monitor(L"S", L"P1");
  monitor.collections = {{0x80, 1, 0, 65, 65}, {0x0C, 1, 1, 3, 3}};
  Simulator().Add(monitor);

  struct Case {
    const wchar_t* serial;
    int interfaceNumber;
    std::optional<int> openedInterface;
    const char* log;
  };
  const Case cases[] = {
      {L"S", -1, 0, "OpenMonCtrl2 device 3a71,f00f,S,-1"},
      {L"S", 1, 1, "OpenMonCtrl2 device 3a71,f00f,S,1"},
      {nullptr, -1, 0, "OpenMonCtrl2 device 3a71,f00f,,-1"},
      {L"S", 5, std::nullopt, "OpenMonCtrl2 unable to open device 3a71,f00f,S,5"},
      {L"X", -1, std::nullopt, "OpenMonCtrl2 unable to open device 3a71,f00f,X,-1"},
      {L"S", -2, std::nullopt, "OpenMonCtrl2 unable to open device 3a71,f00f,S,-2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    m_log.Clear();
    mchid::hid_device* handle = OpenMonCtrl2(0x3A71, 0xF00F, c.serial, c.interfaceNumber);
    EXPECT_TRUE(Contains(LogLines(c.openedInterface ? spdlog::level::info : spdlog::level::err), c.log));
    ASSERT_EQ(handle != nullptr, c.openedInterface.has_value());
    if (handle == nullptr) continue;
    EXPECT_EQ(CollectionOf(handle).interface_number, *c.openedInterface);
    const std::wstring key = KeyOf(c.serial ? c.serial : L"");
    EXPECT_EQ(GetMutexName(handle), key);
    EXPECT_TRUE(MutexExists(key));
    CloseMonCtrl(handle);
  }
  EXPECT_EQ(MutexCount(), 2u);  // "...-S" and "...-"
}

TEST_F(OpenCloseTest, ASecondOpenReplacesTheRegistrationAndSharesTheMutex) {
  Simulator().Add(Monitor(L"S", L"P1"));
  mchid::hid_device* first = OpenRegistered(L"S");
  mchid::hid_device* second = OpenRegistered(L"S");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(first, second);

  EXPECT_STREQ(GetMutexName(first), L"Global\\HalvaneSDK");
  EXPECT_EQ(GetMutexName(second), KeyOf(L"S"));
  EXPECT_STREQ(GetMutexName(nullptr), L"Global\\HalvaneSDK");
  EXPECT_EQ(MutexCount(), 1u);
  // The first handle is forgotten, not closed.
  wchar_t serial[8] = {};
  EXPECT_EQ(mchid::hid_get_serial_number_string(first, serial, 8), 0);
  EXPECT_STREQ(serial, L"S");
}

TEST_F(OpenCloseTest, CloseKeepsTheDeviceMutexForTheNextOpen) {
  Simulator().Add(Monitor(L"S", L"P1"));
  CloseMonCtrl(nullptr);
  mchid::hid_device* handle = OpenRegistered(L"S");
  ASSERT_NE(handle, nullptr);
  HANDLE mutex = WithLibraryState([](LibraryState& state) { return state.mutexes.at(KeyOf(L"S")); });

  Close(handle);
  EXPECT_TRUE(MutexExists(KeyOf(L"S")));
  EXPECT_TRUE(WithLibraryState([](LibraryState& state) { return state.handles.empty(); }));

  ASSERT_NE(OpenRegistered(L"S"), nullptr);
  EXPECT_EQ(MutexCount(), 1u);
  EXPECT_EQ(WithLibraryState([](LibraryState& state) { return state.mutexes.at(KeyOf(L"S")); }), mutex);
}

TEST_F(OpenCloseTest, AMutexThatCannotBeMadeIsRecordedAsNone) {
  // Longer than a kernel object's name may be.
  const std::wstring serial(300, L'Z');
  Simulator().Add(Monitor(serial, L"P1"));
  mchid::hid_device* handle = OpenRegistered(serial);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GetMutexName(handle), KeyOf(serial));
  EXPECT_EQ(WithLibraryState([&](LibraryState& state) { return state.mutexes.at(KeyOf(serial)); }), nullptr);
  ASSERT_FALSE(LogLines(spdlog::level::err).empty());
  EXPECT_EQ(LogLines(spdlog::level::err)[0].rfind("CreateDeviceMutex cannot open or create 14961-61455-ZZZ", 0), 0u);
}

}  // namespace
