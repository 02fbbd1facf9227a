#include "agent-windows/pipe/ServerIPC.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "testkit/clock/FakeClock.h"
#include "testkit/installer/InstallerRecord.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

using testkit::InstallerRecord;

constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\pipeHalvane";
// A safety net for a broken build; the tests never depend on how long anything takes.
constexpr auto kGiveUp = std::chrono::seconds(20);

struct Received {
  std::uint8_t type;
  std::wstring text;
  float value;
  bool operator==(const Received&) const = default;
};

std::mutex g_receivedMutex;
std::condition_variable g_receivedChanged;
std::vector<Received> g_received;

void Receive(const InstallerProgressMessage& message) {
  std::lock_guard<std::mutex> lock(g_receivedMutex);
  g_received.push_back({message.type, InstallerMessageText(message), message.value});
  g_receivedChanged.notify_all();
}

// Polls, for conditions that other threads reach and that nobody signals.
bool Eventually(const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + kGiveUp;
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The client end, as an installer opens it: retried while the server is not (yet) waiting.
HANDLE ConnectInstaller() {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  Eventually([&pipe] {
    pipe = CreateFileW(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return pipe != INVALID_HANDLE_VALUE ||
           (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PIPE_BUSY);
  });
  return pipe;
}

bool Write(HANDLE pipe, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

class ServerIPCTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/agentpipe-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    s_objects = folder;
    setenv("TARVIK_KERNEL_OBJECTS", folder, 1);
  }
  static void TearDownTestSuite() {
    unsetenv("TARVIK_KERNEL_OBJECTS");
    std::filesystem::remove_all(s_objects);
  }
  void SetUp() override {
    std::lock_guard<std::mutex> lock(g_receivedMutex);
    g_received.clear();
  }

  std::vector<Received> WaitForRecords(std::size_t count) {
    std::unique_lock<std::mutex> lock(g_receivedMutex);
    g_receivedChanged.wait_for(lock, kGiveUp, [count] { return g_received.size() >= count; });
    return g_received;
  }

  std::size_t LinesWith(const std::string& text) const {
    std::size_t count = 0;
    for (const testkit::LogLine& line : m_log.Lines()) count += line.text == text;
    return count;
  }
  std::size_t LinesStartingWith(const std::string& text) const {
    std::size_t count = 0;
    for (const testkit::LogLine& line : m_log.Lines()) count += line.text.rfind(text, 0) == 0;
    return count;
  }

  // The thread ends at its next loop test: an installer that comes and goes gets it there
  // from its wait for a client. It closes its pipe as it ends, so the name is then served by
  // nobody.
  static void StopServer() {
    ExitSeverIPC();
    const HANDLE last = ConnectInstaller();
    if (last != INVALID_HANDLE_VALUE) CloseHandle(last);
    EXPECT_TRUE(Eventually([] {
      const HANDLE pipe =
          CreateFileW(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
      return pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND;
    }));
  }

  static inline std::filesystem::path s_objects;
  testkit::FakeClock m_clock;
  testkit::LogCapture m_log;
};

TEST_F(ServerIPCTest, ServesOneInstallerAfterAnotherAndHandsEveryRecordOver) {
  StartServerIPC(Receive);
  // With whatever last-error value the thread had before.
  EXPECT_EQ(LinesStartingWith("Create thread Success: "), 1u);

  const std::string progress = InstallerRecord(2, "ABCDEFGHIJKLMNOPQRSTU", 55.5f);
  HANDLE first = ConnectInstaller();
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(first, progress));
  // Ten bytes: the type and four units of the text; the value reads as zero.
  ASSERT_TRUE(Write(first, progress.substr(0, 10)));
  ASSERT_EQ(WaitForRecords(2).size(), 2u);
  CloseHandle(first);

  HANDLE second = ConnectInstaller();
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(second, InstallerRecord(5, "SN2", 1)));
  const std::string tooLong = InstallerRecord(4, "SN2", 8888) + '\0';
  ASSERT_TRUE(Write(second, tooLong));
  // The long message ended the connection: the server waits for the next installer.
  EXPECT_TRUE(Eventually([this] { return LinesWith("start to read from client....") == 3; }));
  EXPECT_EQ(LinesWith("readMessage error: 234.\n"), 1u);
  CloseHandle(second);
  StopServer();

  EXPECT_EQ(WaitForRecords(3), (std::vector<Received>{{2, L"ABCDEFGHIJKLMNOPQRSTU", 55.5f},
                                                      {2, L"ABCD", 0.0f},
                                                      {5, L"SN2", 1.0f}}));
  EXPECT_EQ(LinesWith("readMessage success: 2,ABCDEFGHIJKLMNOPQRSTU,55.500000.\n"), 1u);
  EXPECT_EQ(LinesWith("readMessage success: 5,SN2,1.000000.\n"), 1u);
  EXPECT_EQ(LinesWith("readMessage error: 109.\n"), 2u);  // the first installer and the one at the stop
  EXPECT_EQ(LinesWith("connect success..."), 3u);
  EXPECT_EQ(m_clock.Sleeps(), (std::vector<long long>{10, 10, 10}));
}

TEST_F(ServerIPCTest, WithoutItsPipeTheThreadReadsNothing) {
  // The name may still be held for a moment by the pipe of a thread that has just ended.
  HANDLE taken = INVALID_HANDLE_VALUE;
  Eventually([&taken] {
    taken = CreateNamedPipeW(kPipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 0, 0,
                             1000, nullptr);
    return taken != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY;
  });
  ASSERT_NE(taken, INVALID_HANDLE_VALUE);
  StartServerIPC(Receive);
  EXPECT_TRUE(Eventually([this] { return LinesWith("\\\\.\\pipe\\pipeHalvane... ") == 1; }));
  ExitSeverIPC();
  CloseHandle(taken);
  EXPECT_EQ(LinesWith("start to read from client...."), 0u);
}

}  // namespace
