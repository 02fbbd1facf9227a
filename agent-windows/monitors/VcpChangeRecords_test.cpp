#include "agent-windows/monitors/VcpChangeRecords.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/monitors/MonitorTestSupport.h"
#include "testkit/logcapture/LogCapture.h"

using nlohmann::json;

namespace {

using monitortest::AddChange;

// The records live for the process; every test leaves them as it found them: empty.
class VcpChangeRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { Drain(); }
  void TearDown() override { Drain(); }

 private:
  static void Drain() {
    for (const char* serial : {"A1", "B2", "\xC3\x84" "1"}) TakeVcpChangeRecords(serial);
  }
};

TEST_F(VcpChangeRecordsTest, TakesOldestFirstAsThreeValuesOnce) {
  AddChange(L"A1", {0x10, 30, 100, 0, 0, 0});
  AddChange(L"A1", {0xF8, 0x21, 5, 7, 0, 0});
  AddChange(L"A1", {0x10, 35, 100, 0, 0, 0});
  EXPECT_EQ(TakeVcpChangeRecords("A1"), json::parse("[[16,30,100],[248,33,5],[16,35,100]]"));
  EXPECT_EQ(TakeVcpChangeRecords("A1"), nullptr);
}

struct ReplacementCase {
  const char* name;
  std::vector<std::pair<const wchar_t*, std::array<std::int32_t, 6>>> changes;
  json keptForA1;
};

class ChangeReplacement : public VcpChangeRecordsTest, public ::testing::WithParamInterface<ReplacementCase> {};

TEST_P(ChangeReplacement, NewestRecordOfTheSameSettingIsReplaced) {
  for (const auto& [serial, change] : GetParam().changes) AddChange(serial, change);
  EXPECT_EQ(TakeVcpChangeRecords("A1"), GetParam().keptForA1);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangeReplacement,
    ::testing::Values(
        ReplacementCase{"SameCodeKeepsTheLastValue",
                        {{L"A1", {0x10, 20, 100, 0, 0, 0}},
                         {L"A1", {0x10, 25, 100, 0, 0, 0}},
                         {L"A1", {0x10, 30, 100, 0, 0, 0}}},
                        json::parse("[[16,30,100]]")},
        ReplacementCase{"OnlyTheNewestIsCompared",
                        {{L"A1", {0x10, 20, 100, 0, 0, 0}},
                         {L"A1", {0x10, 25, 100, 0, 0, 0}},
                         {L"A1", {0x12, 70, 100, 0, 0, 0}},
                         {L"A1", {0x10, 30, 100, 0, 0, 0}}},
                        json::parse("[[16,25,100],[18,70,100],[16,30,100]]")},
        ReplacementCase{"AnotherMonitorsChangeDoesNotSeparate",
                        {{L"A1", {0x10, 20, 100, 0, 0, 0}},
                         {L"B2", {0x12, 70, 100, 0, 0, 0}},
                         {L"A1", {0x10, 30, 100, 0, 0, 0}}},
                        json::parse("[[16,30,100]]")},
        ReplacementCase{"ExtendedSameSubCodeKeepsTheLastValue",
                        {{L"A1", {0xF8, 0x21, 1, 3, 0, 0}}, {L"A1", {0xF8, 0x21, 2, 3, 0, 0}}},
                        json::parse("[[248,33,2]]")},
        ReplacementCase{"ExtendedOtherSubCodeIsKept",
                        {{L"A1", {0xF8, 0x21, 1, 3, 0, 0}}, {L"A1", {0xF8, 0x22, 0, 3, 0, 0}}},
                        json::parse("[[248,33,1],[248,34,0]]")}),
    [](const ::testing::TestParamInfo<ReplacementCase>& info) { return info.param.name; });

TEST_F(VcpChangeRecordsTest, SerialWithoutRecordsGivesNullAndLogsOnlyWhenOthersHaveSome) {
  testkit::LogCapture log;
  EXPECT_EQ(TakeVcpChangeRecords("A1"), nullptr);
  EXPECT_TRUE(log.Lines().empty());

  AddChange(L"B2", {0xD6, 1, 5, 0, 0, 0});
  EXPECT_EQ(TakeVcpChangeRecords("A1"), nullptr);
  EXPECT_EQ(log.Lines(), (std::vector<testkit::LogLine>{
                             {spdlog::level::err, "Key not found in messageMap"}}));
  EXPECT_EQ(TakeVcpChangeRecords("B2"), json::parse("[[214,1,5]]"));
}

TEST_F(VcpChangeRecordsTest, WideSerialIsKeptAsUtf8) {
  AddChange(L"\u00C41", {0x10, 1, 2, 0, 0, 0});
  EXPECT_EQ(TakeVcpChangeRecords("\xC3\x84" "1"), json::parse("[[16,1,2]]"));
}

TEST_F(VcpChangeRecordsTest, SerialThatIsNotUnicodeStoresNothing) {
  const wchar_t serial[] = {L'A', static_cast<wchar_t>(0x110000), 0};
  EXPECT_THROW(AddChange(serial, {0x10, 1, 2, 0, 0, 0}), std::range_error);
  testkit::LogCapture log;
  EXPECT_EQ(TakeVcpChangeRecords("A1"), nullptr);
  EXPECT_TRUE(log.Lines().empty()) << "a record was stored under some key";
}

// Listener threads append while the heartbeat takes: every record comes out exactly once and
// in its thread's order. Codes are unique, so no record replaces another.
TEST_F(VcpChangeRecordsTest, ConcurrentAddsAreTakenExactlyOnceInOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  std::vector<std::thread> listeners;
  for (int thread = 0; thread < kThreads; ++thread)
    listeners.emplace_back([thread] {
      for (int i = 0; i < kPerThread; ++i) AddChange(L"A1", {i * kThreads + thread, thread, 0, 0, 0, 0});
    });
  std::vector<int> next(kThreads, 0);
  int taken = 0;
  auto takeAll = [&] {
    json changes = TakeVcpChangeRecords("A1");
    if (changes.is_null()) return;
    for (const json& change : changes) {
      const int thread = change[1];
      ASSERT_EQ(change[0].get<int>(), next[thread] * kThreads + thread) << "thread " << thread;
      ++next[thread];
      ++taken;
    }
  };
  while (taken < kThreads * kPerThread / 2 && !HasFatalFailure()) takeAll();
  for (std::thread& listener : listeners) listener.join();
  takeAll();
  EXPECT_EQ(taken, kThreads * kPerThread);
}

}  // namespace
