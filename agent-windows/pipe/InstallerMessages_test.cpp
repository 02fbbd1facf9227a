#include "agent-windows/pipe/InstallerMessages.h"

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/server/CommandHandler.h"
#include "agent-windows/server/ServerMessages.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/installer/InstallerRecord.h"
#include "testkit/logcapture/LogCapture.h"

namespace testkit {

// Readable log lines in a failed comparison.
void PrintTo(const LogLine& line, std::ostream* out) {
  *out << spdlog::level::to_string_view(line.level).data() << ": " << line.text;
}

}  // namespace testkit

namespace {

using testkit::InstallerRecord;
using testkit::LogLine;
using Queued = std::tuple<bool, std::string, std::string>;  // needSend, key, text

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr auto kInfo = spdlog::level::info;
constexpr auto kWarn = spdlog::level::warn;
constexpr auto kError = spdlog::level::err;

// The record as the pipe hands it over.
InstallerProgressMessage Message(const std::string& bytes) {
  return ReadInstallerProgressMessage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(InstallerProgressMessageTest, ReadsTheRecordLayout) {
  struct Case {
    const char* what;
    std::string bytes;
    std::uint8_t type;
    std::wstring text;
    float value;
  };
  std::string padded = InstallerRecord(2, "SN1", 12.5f);
  padded[1] = '\xAA';
  // Units the encoder would never write: a low surrogate first, a high one last.
  std::string lone = InstallerRecord(2, "AxBy", 1.0f);
  lone.replace(4, 2, "\x00\xDC", 2);
  lone.replace(8, 2, "\x00\xD8", 2);
  // Written byte by byte, not by the test kit's encoder: pins the offsets and the byte order.
  std::string fixed(48, '\0');
  fixed[0] = '\x04';
  fixed.replace(2, 4, "S\x00\x16\x04", 4);
  fixed.replace(44, 4, "\x79\xE9\xF6\x42", 4);
  const Case cases[] = {
      {"the padding byte is ignored", padded, 2, L"SN1", 12.5f},
      {"little-endian text from offset 2, value at 44", fixed, 4, L"S\u0416", 123.456f},
      {"a 10-byte message reads the rest as zero", padded.substr(0, 10), 2, L"SN1", 0.0f},
      {"an empty message", "", 0, L"", 0.0f},
      {"21 units without terminator are the whole text", InstallerRecord(4, "ABCDEFGHIJKLMNOPQRSTU", 8888.0f), 4,
       L"ABCDEFGHIJKLMNOPQRSTU", 8888.0f},
      {"a surrogate pair is one character", InstallerRecord(2, "S\xF0\x9F\x98\x80", 1.0f), 2, L"S\U0001F600", 1.0f},
      {"a lone surrogate is replaced", lone, 2, L"A\uFFFDB\uFFFD", 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const InstallerProgressMessage message = Message(c.bytes);
    EXPECT_EQ(message.type, c.type);
    EXPECT_EQ(InstallerMessageText(message), c.text);
    EXPECT_EQ(message.value, c.value);
  }
}

class InstallerMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetUpdates(); }
  void TearDown() override { ResetUpdates(); }

  static void ResetUpdates() {
    g_bIsUpdating.store(false);
    while (TakeNextInstallCommand()) g_bIsUpdating.store(false);
    g_bIsUpdating.store(false);
    g_bIsInstall.store(false);
    OnInstallerConnected();  // an installer the agent did not start
    WebSocketMgr::GetInstance()->SetIsInstall(false);
    WebSocketMgr::GetInstance()->ClearSendQueue();
  }

  static std::vector<Queued> QueuedItems() {
    std::vector<Queued> items;
    for (const SendItem& item : WebSocketMgr::GetInstance()->QueuedMessages())
      items.emplace_back(item.needSend, item.msgKey, item.msg);
    return items;
  }

  static std::vector<std::string> QueuedTexts() {
    std::vector<std::string> texts;
    for (const Queued& item : QueuedItems()) texts.push_back(std::get<2>(item));
    return texts;
  }

  bool Logged(spdlog::level::level_enum level, const std::string& text) const {
    for (const LogLine& line : m_log.Lines())
      if (line.level == level && line.text == text) return true;
    return false;
  }

  testkit::FakeClock m_clock;
  testkit::LogCapture m_log;
};

struct RecordCase {
  const char* name;
  std::string record;
  bool installing;  // before the record
  bool installingAfter;
  std::vector<Queued> queued;  // after the message queued beforehand, unless the record drops it
  std::vector<LogLine> lines;
  bool dropsQueued = false;
};

const Queued kEarlier{true, "", "earlier"};

Queued Progress(const std::string& serial, float percent) {
  return {true, serial, GetSendInstallProgress(serial, percent, 1, "")};
}

Queued Failure(const std::string& serial, const std::string& code) {
  return {true, "", GetSendInstallProgress(serial, 0, 0, code)};
}

// After the message queued beforehand.
std::vector<LogLine> FailureLines(const std::string& code) {
  return {{kInfo, "SendMsg === m_qSendMsg size = 2"},
          {kWarn, GetSendInstallProgress("SN1", 0, 0, code)}, {kWarn, "setup is fail:" + code + ":SN1"}};
}

std::vector<LogLine> OutOfRangeExit(const std::string& value) {
  std::vector<LogLine> lines{{kError, "InstallExit code out of range: " + value}};
  for (const LogLine& line : FailureLines("-1")) lines.push_back(line);
  return lines;
}

std::vector<LogLine> OutOfRangeProgress(const std::string& value) {
  return {{kInfo, "setup process:SN1:" + value}, {kError, "InstallProcessing progress out of range: " + value}};
}

class InstallerRecords : public InstallerMessagesTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(InstallerRecords, ChangeTheInstallationAndTheQueuedMessages) {
  const RecordCase& c = GetParam();
  g_bIsInstall.store(c.installing);
  WebSocketMgr::GetInstance()->SendMsg("earlier", true);
  m_log.Clear();

  OnInstallerMessage(Message(c.record));

  EXPECT_EQ(g_bIsInstall.load(), c.installingAfter);
  EXPECT_FALSE(g_bIsUpdating.load());
  std::vector<Queued> expected = c.queued;
  if (!c.dropsQueued) expected.insert(expected.begin(), kEarlier);
  EXPECT_EQ(QueuedItems(), expected);
  EXPECT_EQ(m_log.Lines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Records, InstallerRecords,
    ::testing::Values(
        RecordCase{"TypeZeroIsIgnored", InstallerRecord(0, "SN1", 1), true, true, {}, {}},
        RecordCase{"TypeFiveIsIgnored", InstallerRecord(5, "SN1", 8888), true, true, {}, {}},
        RecordCase{"StartDropsQueuedMessages", InstallerRecord(1, "SN1", 0), false, true, {},
                   {{kInfo, " StartInstall"}}, true},
        RecordCase{"EndWhileInstalling", InstallerRecord(3, "", 0), true, false, {},
                   {{kInfo, " EndIntall install update end."}}},
        RecordCase{"EndWhenIdleDoesNothing", InstallerRecord(3, "", 0), false, false, {}, {}},
        RecordCase{"Progress", InstallerRecord(2, "SN1", 55.5f), true, true, {Progress("SN1", 55.5f)},
                   {{kInfo, "setup process:SN1:55.500000"}}},
        RecordCase{"ProgressOfA21CharacterSerial", InstallerRecord(2, "ABCDEFGHIJKLMNOPQRSTU", 0), true, true,
                   {Progress("ABCDEFGHIJKLMNOPQRSTU", 0)}, {{kInfo, "setup process:ABCDEFGHIJKLMNOPQRSTU:0.000000"}}},
        RecordCase{"ProgressNaNIsRefused", InstallerRecord(2, "SN1", kNaN), true, true, {}, OutOfRangeProgress("nan")},
        RecordCase{"ProgressInfinityIsRefused", InstallerRecord(2, "SN1", kInfinity), true, true, {},
                   OutOfRangeProgress("inf")},
        RecordCase{"ProgressAbove100IsRefused", InstallerRecord(2, "SN1", 100.5f), true, true, {},
                   OutOfRangeProgress("100.500000")},
        RecordCase{"ProgressBelowZeroIsRefused", InstallerRecord(2, "SN1", -1), true, true, {},
                   OutOfRangeProgress("-1.000000")},
        RecordCase{"FailureWhileInstalling", InstallerRecord(4, "SN1", -1), true, false, {Failure("SN1", "-1")},
                   FailureLines("-1")},
        RecordCase{"FailureCodeIsCutTowardZero", InstallerRecord(4, "SN1", -7.9f), true, false,
                   {Failure("SN1", "-7")}, FailureLines("-7")},
        RecordCase{"FailureWhenIdleIsIgnored", InstallerRecord(4, "SN1", -1), false, false, {}, {}},
        RecordCase{"ExitNaNIsAFailure", InstallerRecord(4, "SN1", kNaN), true, false, {Failure("SN1", "-1")},
                   OutOfRangeExit("nan")},
        RecordCase{"ExitBeyond32BitsIsAFailure", InstallerRecord(4, "SN1", 3e9f), true, false,
                   {Failure("SN1", "-1")}, OutOfRangeExit("3000000000.000000")},
        // The run is over without an update being handled: nothing to start, nothing reported.
        RecordCase{"RunOverWhenIdle", InstallerRecord(4, "SN1", 8888), true, false, {},
                   {{kWarn, "Zun exit :8888:SN1"}}},
        RecordCase{"RunOverWithAFraction", InstallerRecord(4, "SN1", 8888.7f), true, false, {},
                   {{kWarn, "Zun exit :8888:SN1"}}}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return info.param.name; });

TEST_F(InstallerMessagesTest, TheFinalProgressOfASerialOvertakesItsEarlierOnesInALongQueue) {
  for (const int fillers : {0, 16}) {
    SCOPED_TRACE(fillers);
    WebSocketMgr::GetInstance()->ClearSendQueue();
    for (int i = 0; i < fillers; ++i) WebSocketMgr::GetInstance()->SendMsg("report", true);
    for (const auto& [serial, percent] : {std::pair{"SN1", 10.0f}, {"SN1", 55.5f}, {"SN2", 40.0f}, {"SN1", 100.0f}})
      OnInstallerMessage(Message(InstallerRecord(2, serial, percent)));

    const std::vector<Queued> items = QueuedItems();
    const std::vector<Queued> progress(items.begin() + fillers, items.end());
    const bool earlierSent = fillers == 0;
    EXPECT_EQ(progress, (std::vector<Queued>{{earlierSent, "SN1", std::get<2>(Progress("SN1", 10))},
                                             {earlierSent, "SN1", std::get<2>(Progress("SN1", 55.5f))},
                                             Progress("SN2", 40),
                                             Progress("SN1", 100)}));
  }
}

std::string Command(int cmdid) {
  return R"({"cmdid":)" + std::to_string(cmdid) +
         R"(,"type":"firmwareUpdateCommand","monitorList":[{"index":0,"serialNumber":"S",)"
         R"("updatePackageInfo":{"packageUrl":"fw.bin","packageSize":10,"userId":3}}]})";
}

std::vector<std::string> HandledWithoutPackage(int cmdid) {
  return {R"({"cmdid":)" + std::to_string(cmdid) + R"(,"status":"ok","type":"response"})",
          R"({"cmdid":)" + std::to_string(cmdid) + R"(,"status":"downFileFail","type":"response"})"};
}

// The queued commands fail their download at once here, so each one handled leaves its two
// responses in the send queue.
TEST_F(InstallerMessagesTest, OnlyTheFirstEndOfAnUpdateStartsTheNextQueuedOne) {
  const std::optional<UpdateId> first = QueueWhileUpdating(Command(1));
  ASSERT_TRUE(first);
  MarkInstallerStarting(*first);
  ASSERT_FALSE(QueueWhileUpdating(Command(2)));
  OnInstallerConnected();
  OnInstallerMessage(Message(InstallerRecord(1, "SN1", 0)));

  OnInstallerMessage(Message(InstallerRecord(4, "SN1", 8888)));
  EXPECT_EQ(QueuedTexts(), HandledWithoutPackage(2));
  EXPECT_FALSE(g_bIsUpdating.load());
  EXPECT_FALSE(g_bIsInstall.load());
  EXPECT_TRUE(Logged(kInfo, "g_Install_list.size() :1\n"));
  WebSocketMgr::GetInstance()->ClearSendQueue();

  // The next update starts from the server while its predecessor's installer process is still
  // ending, and another command waits behind it.
  const std::optional<UpdateId> next = QueueWhileUpdating(Command(3));
  ASSERT_TRUE(next);
  ASSERT_FALSE(QueueWhileUpdating(Command(4)));

  EndFirmwareUpdate(*first);
  EXPECT_TRUE(g_bIsUpdating.load());
  EXPECT_TRUE(QueuedTexts().empty());

  // The first installer's exit record again, while the next package is still being fetched and
  // once its installer runs: neither is an end of the next update.
  OnInstallerMessage(Message(InstallerRecord(4, "SN1", 8888)));
  MarkInstallerStarting(*next);
  OnInstallerMessage(Message(InstallerRecord(4, "SN1", 8888)));
  EXPECT_TRUE(g_bIsUpdating.load());
  EXPECT_TRUE(QueuedTexts().empty());

  EndFirmwareUpdate(*next);
  EXPECT_EQ(QueuedTexts(), HandledWithoutPackage(4));
  EXPECT_FALSE(g_bIsUpdating.load());
}

}  // namespace
