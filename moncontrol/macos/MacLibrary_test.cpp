// What the macOS build of the library adds: opening by record with retries, the caller-array
// VCP read, the received-header view, listeners that stop without being waited for, and the
// model-flag table it carries.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "moncontrol/api/LibraryState.h"
#include "moncontrol/api/StatusCodes.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"
#include "moncontrol/macos/MacApi.h"
#include "moncontrol/macos/testing/MacScriptedHidFixture.h"
#include "moncontrol/tables/ModelFlagTable.h"
#include "moncontrol/transport/HidTransport.h"
#include "platform/macos/HidDeviceSource.h"
#include "testkit/hiddouble/DisplayReplies.h"

namespace {

using testkit::Bytes;
using testkit::ReplyStatus;

tagMONCTRLINFO InfoOf(const mchid::HidCollection& collection) {
  tagMONCTRLINFO info{};
  info.vendor_id = collection.vendor_id;
  info.product_id = collection.product_id;
  info.usage_page = collection.usage_page;
  info.usage = collection.usage;
  info.interface_number = -1;
  std::wcsncpy(info.serial_number, collection.serial_number->c_str(), kMonCtrlInfoStringLength - 1);
  return info;
}

// Fake time in which something happens once a given time has been slept.
class EventClock final : public tarvik::Clock {
 public:
  EventClock(long long atMs, std::function<void()> event) : m_atMs(atMs), m_event(std::move(event)) {
    tarvik::SetCurrentClock(this);
  }
  ~EventClock() override { tarvik::SetCurrentClock(nullptr); }

  TimePoint Now() override { return TimePoint(std::chrono::milliseconds(m_sleptMs)); }
  WallTime WallNow() override { return std::chrono::system_clock::now(); }
  void SleepFor(Duration duration) override {
    m_sleptMs += duration.count();
    if (m_event && m_sleptMs >= m_atMs) std::exchange(m_event, nullptr)();
  }
  long long SleptMs() const { return m_sleptMs; }

 private:
  long long m_sleptMs = 0;
  const long long m_atMs;
  std::function<void()> m_event;
};

using MacOpenTest = MacScriptedHidFixture;

TEST_F(MacOpenTest, OpenMonCtrl3TriesEveryTenthOfASecondUntilItsTimeOut) {
  struct Case {
    const char* name;
    int timeoutMs;
    long long appearsAfterMs;  // -1: never
    bool opens;
    std::size_t attempts;
  };
  const Case cases[] = {
      {"one attempt for time-out 0", 0, -1, false, 1},
      {"the agents' time-out", 2000, -1, false, 21},
      {"negative means two minutes", -1, -1, false, 1201},
      {"appears after 350 ms", 2000, 350, true, 5},
      {"there at once", 0, 0, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mchid::HidCollection late = testkit::MonitorCollection("scripted:late", std::wstring(L"LATE-") + L"\u00c5" + L"\u00df");
    tagMONCTRLINFO info = InfoOf(late);
    std::shared_ptr<testkit::ScriptedHidBackend> backend = m_backend;
    std::function<void()> arrive = [backend, late] { backend->AddDevice(late); };
    if (c.appearsAfterMs == 0) arrive();
    const auto logStart = LogLines().size();
    mchid::hid_device* handle = nullptr;
    {
      EventClock clock(c.appearsAfterMs > 0 ? c.appearsAfterMs : 0, c.appearsAfterMs > 0 ? arrive : nullptr);
      handle = OpenMonCtrl3(&info, c.timeoutMs);
    }
    tarvik::SetCurrentClock(&m_clock);
    EXPECT_EQ(handle != nullptr, c.opens);
    mchid::hid_close(handle);

    std::vector<std::string> lines = LogLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(logStart));
    std::size_t attempts = 0;
    for (const std::string& line : lines) attempts += line.rfind("[INFO] OpenMonCtrl3 try to open device == ", 0) == 0;
    EXPECT_EQ(attempts, c.attempts);
    // The serial is logged whole, as wide text.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[INFO] OpenMonCtrl3 try to open device 3a71,f00f,LATE-\u00c5\u00df,-1"),
              lines.end());
    m_backend = std::make_shared<testkit::ScriptedHidBackend>();  // the late monitor goes again
    m_device = m_backend->AddDevice(testkit::MonitorCollection());
    macstandin::SetHidDeviceSource(m_backend);
  }
}

TEST_F(MacOpenTest, OpenMonCtrl3OpensTheMonitorWithTheRecordsSerial) {
  std::shared_ptr<testkit::ScriptedHidDevice> second =
      m_backend->AddDevice(testkit::MonitorCollection("scripted:monitor1", L"SCRIPTED0002"));
  tagMONCTRLINFO info = InfoOf(second->Collection());
  mchid::hid_device* handle = OpenMonCtrl3(&info, 0);
  ASSERT_NE(handle, nullptr);
  const Bytes request = SignedRequest(1, 0x6E, 0x51, {0x51, 0x82, 0x01, 0x10});
  EXPECT_EQ(WriteData(handle, static_cast<std::int32_t>(request.size()), request.data()),
            static_cast<std::int32_t>(request.size()));
  EXPECT_EQ(second->Requests(), std::vector<Bytes>({request}));
  EXPECT_TRUE(m_device->Requests().empty());
  mchid::hid_close(handle);
}

TEST_F(MacOpenTest, GetVCPFeatureByVector2WritesOnlyTheEntriesItNames) {
  constexpr std::int32_t kUntouched = -7;
  struct Case {
    const char* name;
    std::int32_t count;
    std::int32_t vcpCode;
    std::uint32_t subCode;
    std::vector<testkit::Responder> answers;
    std::vector<std::int32_t> values;
    std::vector<long long> sleeps;
  };
  const std::vector<Case> cases = {
      {"too few entries", 5, 0x10, 0, {}, std::vector<std::int32_t>(6, kUntouched), {}},
      {"extended", 6, 0xF8, 0x05, {ReplyStatus(0), GetVcpReply(0xF7, 3, 10)},
       {0xF8, 0x05, 3, 10, kUntouched, kUntouched}, {200}},
      {"refused select", 6, 0xF8, 0x05, {ReplyStatus(4)}, std::vector<std::int32_t>(6, kUntouched), {}},
      {"plain", 6, 0x10, 0, {GetVcpReply(0x10, 40, 100)}, {0x10, 40, 100, kUntouched, kUntouched, kUntouched}, {}},
      {"plain read refused", 6, 0x10, 0, {ReplyStatus(4)}, {0x10, 0, 0, kUntouched, kUntouched, kUntouched}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_device->ClearRecords();
    m_clock.ClearSleeps();
    for (const testkit::Responder& answer : c.answers) m_device->Answer(answer);
    std::vector<std::int32_t> values(6, kUntouched);
    GetVCPFeatureByVector2(m_handle, c.vcpCode, c.subCode, values.data(), c.count);
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(m_device->Requests().size(), c.answers.size());
    EXPECT_EQ(m_clock.Sleeps(), c.sleeps);
  }
}

TEST_F(MacOpenTest, AnUnsolicitedReportReadsAsAReceivedHeader) {
  m_device->Send(testkit::UnsolicitedMessage(0x26, 0x10, {0xAA}));
  std::uint8_t report[1024];
  ASSERT_EQ(ReadData(m_handle, sizeof report, report, 500), 64);  // the one report it came in
  const tagMCCMD_RECEIVE_HEADER* header = GetMccmdHeader(report);
  EXPECT_EQ(+header->cmdType, MCCMD_TYPE_MESSAGE);
  EXPECT_EQ(+header->param1, 0x26u);
  EXPECT_EQ(+header->param2, 0x10u);
  EXPECT_EQ(+header->dataLength, 1u);
}

// A backend that knows how many of its devices' connections are open.
class CountingBackend final : public mchid::HidBackend {
 public:
  explicit CountingBackend(std::shared_ptr<mchid::HidBackend> inner) : m_inner(std::move(inner)) {}

  std::vector<mchid::HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    return m_inner->Enumerate(vendorId, productId);
  }
  std::unique_ptr<mchid::HidConnection> OpenPath(const std::string& path) override {
    std::unique_ptr<mchid::HidConnection> connection = m_inner->OpenPath(path);
    if (!connection) return nullptr;
    return std::make_unique<Counted>(std::move(connection), m_open);
  }
  int Open() const { return m_open->load(); }

 private:
  class Counted final : public mchid::HidConnection {
   public:
    Counted(std::unique_ptr<mchid::HidConnection> inner, std::shared_ptr<std::atomic<int>> open)
        : m_inner(std::move(inner)), m_open(std::move(open)) {
      ++*m_open;
    }
    ~Counted() override { --*m_open; }
    int WriteReport(const unsigned char* data, std::size_t length) override { return m_inner->WriteReport(data, length); }
    int ReadReport(unsigned char* data, std::size_t length, int ms) override {
      return m_inner->ReadReport(data, length, ms);
    }
    int SendFeatureReport(const unsigned char* data, std::size_t length) override {
      return m_inner->SendFeatureReport(data, length);
    }
    int GetFeatureReport(unsigned char* data, std::size_t length) override {
      return m_inner->GetFeatureReport(data, length);
    }
    bool GetInputReport(unsigned char* data, std::size_t length) override { return m_inner->GetInputReport(data, length); }
    bool SetOutputReport(const unsigned char* data, std::size_t length) override {
      return m_inner->SetOutputReport(data, length);
    }
    const mchid::HidCollection& Collection() const override { return m_inner->Collection(); }
    long long SystemHandle() const override { return m_inner->SystemHandle(); }

   private:
    std::unique_ptr<mchid::HidConnection> m_inner;
    std::shared_ptr<std::atomic<int>> m_open;
  };

  std::shared_ptr<mchid::HidBackend> m_inner;
  std::shared_ptr<std::atomic<int>> m_open = std::make_shared<std::atomic<int>>(0);
};

// What the listener's callback received.
struct Heard {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<CMD_MESSAGE> messages;
};
Heard g_heard;

void Listen(mchid::hid_device*, wchar_t*, void* message, std::size_t length) {
  if (length < kCmdMessageHeaderSize) return;
  CMD_MESSAGE heard{};
  std::memcpy(&heard, message, kCmdMessageHeaderSize);
  std::lock_guard lock(g_heard.mutex);
  g_heard.messages.push_back(heard);
  g_heard.changed.notify_all();
}

// Real waits: the listener reads the device's report queue, whose time-outs are the system's.
constexpr auto kPatience = std::chrono::seconds(10);

bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class MacListenerTest : public MacScriptedHidFixture {
 protected:
  void SetUp() override {
    MacScriptedHidFixture::SetUp();
    // The listener opens the monitor itself; a second reader would share its reports.
    mchid::hid_close(m_handle);
    m_handle = nullptr;
    m_counting = std::make_shared<CountingBackend>(m_backend);
    macstandin::SetHidDeviceSource(m_counting);
    m_info = InfoOf(m_device->Collection());
    std::lock_guard lock(g_heard.mutex);
    g_heard.messages.clear();
  }
  void TearDown() override {
    StopAllMonCtrlListener();
    EXPECT_TRUE(WaitFor([&] { return m_counting->Open() == 0; }));
    MacScriptedHidFixture::TearDown();
  }

  std::size_t HeardCount() {
    std::lock_guard lock(g_heard.mutex);
    return g_heard.messages.size();
  }

  std::shared_ptr<CountingBackend> m_counting;
  tagMONCTRLINFO m_info{};
};

TEST_F(MacListenerTest, DeliversMessagesThenStopsAndClosesItsHandleWithoutBeingWaitedFor) {
  EXPECT_EQ(StopMonCtrlListenerByInfo(&m_info), MC_ERR_INVALID_ARG);
  ASSERT_EQ(SetFuncCallbackByInfo(&m_info, &Listen), 0);
  EXPECT_EQ(m_counting->Open(), 1);

  m_device->Send(testkit::UnsolicitedMessage(FUNC_CODE_VCP_CHANGED, 0x10));
  ASSERT_TRUE(WaitFor([&] { return HeardCount() == 1; }));
  {
    std::lock_guard lock(g_heard.mutex);
    EXPECT_EQ(+g_heard.messages[0].funcCode, FUNC_CODE_VCP_CHANGED);
    EXPECT_EQ(+g_heard.messages[0].subCode, 0x10u);
  }

  EXPECT_EQ(StopMonCtrlListenerByInfo(&m_info), 0);
  EXPECT_TRUE(WaitFor([&] { return m_counting->Open() == 0; }));
  m_device->Send(testkit::UnsolicitedMessage(FUNC_CODE_VCP_CHANGED, 0x12));
  EXPECT_EQ(HeardCount(), 1u);
  // Stopped, not forgotten: the record stays until it is removed.
  EXPECT_EQ(StopMonCtrlListenerByInfo(&m_info), 0);
}

TEST_F(MacListenerTest, UninitLetsEveryListenerGo) {
  ASSERT_EQ(SetFuncCallbackByInfo(&m_info, &Listen), 0);
  EXPECT_EQ(Uninit(), 0);
  EXPECT_EQ(StopMonCtrlListenerByInfo(&m_info), MC_ERR_INVALID_ARG);
  EXPECT_TRUE(WaitFor([&] { return m_counting->Open() == 0; }));
}

TEST(MacModelFlagTable, IsTheSharedTableWithoutItsLastVersion3Entry) {
  const std::string text = LoadJsonResource(kModelFlagTableId);
  ASSERT_NE(text.find("\r\n"), std::string::npos);  // carried as it stands, CRLF included
  nlohmann::json expected = nlohmann::json::parse(std::ifstream(MODEL_FLAG_TABLE_JSON));
  nlohmann::json& version3 = expected["data"]["appEnableKeys_ver_3"];
  ASSERT_EQ(version3.back()["name"], "Ambient Light Detection");
  version3.erase(version3.size() - 1);
  EXPECT_EQ(nlohmann::json::parse(text), expected);
}

}  // namespace
