#include "agent-windows/update/InstallWorker.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/server/CommandHandler.h"
#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "testkit/cdrive/TempCDrive.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

// Handled when taken from the queue: answered "ok", then dropped for want of a package.
constexpr char kWaitingCommand[] =
    R"({"cmdid":8,"type":"firmwareUpdateCommand","monitorList":[{"serialNumber":"S"}]})";
constexpr char kWaitingAnswer[] = R"({"cmdid":8,"status":"ok","type":"response"})";

const InstallRequest kMissingInstaller{L"C:\\Missing\\setup.exe", L"-no_delay -sn S"};

class InstallWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  static void Reset() {
    g_bIsUpdating.store(false);
    g_bIsInstall.store(false);
    while (std::optional<TakenInstallCommand> taken = TakeNextInstallCommand()) EndUpdate(taken->id);
    WebSocketMgr::GetInstance()->ClearSendQueue();
  }

  static std::vector<std::string> Queued() {
    std::vector<std::string> texts;
    for (const SendItem& item : WebSocketMgr::GetInstance()->QueuedMessages()) texts.push_back(item.msg);
    return texts;
  }

  testkit::TempCDrive m_drive;
  testkit::FakeClock m_clock;
  testkit::LogCapture m_log;
};

TEST_F(InstallWorkerTest, AnInstallerThatCannotStartEndsTheUpdateAndTheWaitingCommandFollows) {
  const std::optional<UpdateId> id = QueueWhileUpdating("begun");
  ASSERT_TRUE(id);
  g_bIsInstall.store(true);
  ASSERT_FALSE(QueueWhileUpdating(kWaitingCommand));

  EXPECT_EQ(MyAsyncFunction(kMissingInstaller, *id), 0u);
  EXPECT_FALSE(g_bIsUpdating.load());
  EXPECT_FALSE(g_bIsInstall.load());
  EXPECT_EQ(Queued(), std::vector<std::string>{kWaitingAnswer});
  EXPECT_FALSE(TakeNextInstallCommand());
  const std::vector<std::string> errors = m_log.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(std::find(errors.begin(), errors.end(), "Execution failed."), errors.end());
}

// The installer's exit record ended the update first and the next one has begun since: the
// worker's late end must leave that one running and its waiting command waiting.
TEST_F(InstallWorkerTest, AWorkerWhoseUpdateEndedBeforeLeavesTheNextUpdateAlone) {
  const std::optional<UpdateId> first = QueueWhileUpdating("first");
  ASSERT_TRUE(first);
  EndFirmwareUpdate(*first);
  const std::optional<UpdateId> second = QueueWhileUpdating("second");
  ASSERT_TRUE(second);
  g_bIsInstall.store(true);
  ASSERT_FALSE(QueueWhileUpdating(kWaitingCommand));

  MyAsyncFunction(kMissingInstaller, *first);
  EXPECT_TRUE(g_bIsUpdating.load());
  EXPECT_TRUE(g_bIsInstall.load());
  EXPECT_TRUE(Queued().empty());

  EndFirmwareUpdate(*second);
  EXPECT_FALSE(g_bIsUpdating.load());
  EXPECT_EQ(Queued(), std::vector<std::string>{kWaitingAnswer});
}

}  // namespace
