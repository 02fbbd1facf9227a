#include "foundation/process/ProcessLaunch.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Spawn.h"
#include "testkit/echoargs/EchoArgs.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

namespace fs = std::filesystem;

// The programs started are this test program itself, recording what it saw (testkit/echoargs).
class ProcessLaunchTest : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("TARVIK_WIN32_FAIL");
    unsetenv("TARVIK_WIN32_NO_CONSOLE_SESSION");
  }

  static std::wstring Self() { return win32::CurrentImagePath(); }
  static std::string Utf8(const std::wstring& text) { return win32::WideToUtf8(text); }

  // A link to this program at a path of the test's own folder, in Windows form.
  std::wstring Program(const std::string& relative) const {
    fs::path link = m_dir + "/" + relative;
    fs::create_directories(link.parent_path());
    fs::create_symlink(win32::WindowsToNativePath(Self()), link);
    return win32::NativeToWindowsPath(link.string());
  }

  testkit::EchoRecord WaitForRecord() {
    std::optional<testkit::EchoRecord> record = m_children.WaitForRecord();
    if (!record) ADD_FAILURE() << "the program wrote no record";
    return record.value_or(testkit::EchoRecord{});
  }

  testkit::EchoChildren m_children;
  const std::string m_dir = m_children.Folder();
};

TEST_F(ProcessLaunchTest, LaunchProcessQuotesThePath) {
  struct {
    std::wstring parameters;
    std::string suffix;
    std::vector<std::string> arguments;
  } cases[] = {{L"/uninstall", " /uninstall", {"/uninstall"}}, {L"", "", {}}};
  std::wstring setup = Program("Tarvik Client/Pennorak.exe");
  for (auto& c : cases) {
    ASSERT_TRUE(LaunchProcess(setup, c.parameters, true));
    testkit::EchoRecord record = WaitForRecord();
    EXPECT_EQ(record.commandLine, "\"" + Utf8(setup) + "\"" + c.suffix);
    std::vector<std::string> argv = {Utf8(setup)};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(record.argv, argv);
    m_children.ForgetRecord();
  }
}

TEST_F(ProcessLaunchTest, LaunchProcessOfAMissingProgramFails) {
  testkit::LogCapture log;
  std::wstring missing = win32::NativeToWindowsPath(m_dir) + L"\\Pennorak.exe";
  EXPECT_FALSE(LaunchProcess(missing, L"/uninstall", false));
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ProcessLaunchTest, StartProcessAsSystemRunsInTheConsoleSession) {
  std::wstring installer = Program("Temp/Pkg_V1.2.exe");
  testkit::LogCapture log;
  ASSERT_TRUE(StartProcessAsSystem(installer, L"-no_delay -console -sn SN01 SN02", true));

  // It waited, so the record is there already.
  std::optional<testkit::EchoRecord> record = testkit::ReadEchoRecord(m_children.RecordPath());
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->commandLine, "\"" + Utf8(installer) + "\" -no_delay -console -sn SN01 SN02");
  std::vector<std::string> argv = {Utf8(installer), "-no_delay", "-console", "-sn", "SN01", "SN02"};
  EXPECT_EQ(record->argv, argv);
  EXPECT_EQ(record->session, "1");

  std::vector<testkit::LogLine> expected = {
      {spdlog::level::info, "StartProcessAsSystem start." + Utf8(installer)},
      {spdlog::level::info, Utf8(installer)},
      {spdlog::level::info, "-no_delay -console -sn SN01 SN02"}};
  EXPECT_EQ(log.Lines(), expected);
}

TEST_F(ProcessLaunchTest, StartProcessAsSystemKeepsTheBlankAfterThePath) {
  std::wstring installer = Program("Pkg.exe");
  ASSERT_TRUE(StartProcessAsSystem(installer, L"", true));
  EXPECT_EQ(WaitForRecord().commandLine, "\"" + Utf8(installer) + "\" ");
}

// Unquoted, the path below would start "Program.exe" beside "Program Files".
TEST_F(ProcessLaunchTest, StartProcessAsSystemRunsThePathWithBlanksItWasGiven) {
  std::wstring installer = Program("Program Files/Pkg.exe");
  std::string decoy = m_dir + "/Program.exe";
  std::ofstream(decoy) << "#!/bin/sh\ntouch \"$0.ran\"\n";
  fs::permissions(decoy, fs::perms::owner_all);

  ASSERT_TRUE(StartProcessAsSystem(installer, L"-sn X", true));
  EXPECT_EQ(WaitForRecord().argv, (std::vector<std::string>{Utf8(installer), "-sn", "X"}));
  EXPECT_FALSE(fs::exists(decoy + ".ran"));
}

TEST_F(ProcessLaunchTest, StartProcessAsSystemWaitsOnlyWhenAsked) {
  m_children.Hold();
  std::wstring installer = Program("Pkg.exe");
  EXPECT_TRUE(StartProcessAsSystem(installer, L"-console", false));

  std::future<bool> waited = std::async(std::launch::async, [&] {
    return StartProcessAsSystem(installer, L"-console", true);
  });
  EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  m_children.Release();
  EXPECT_TRUE(waited.get());
}

TEST_F(ProcessLaunchTest, EachFailedStepEndsWithItsLine) {
  std::wstring installer = Program("Pkg.exe");
  std::wstring missing = win32::NativeToWindowsPath(m_dir) + L"\\missing.exe";
  struct {
    const char* fail;
    bool noConsole;
    std::wstring executable;
    std::string line;
  } cases[] = {
      {"OpenProcessToken", false, installer, "OpenProcessToken failed ( 5 )."},
      {"DuplicateTokenEx", false, installer, "DuplicateTokenEx failed ( 5 )."},
      {"SetTokenInformation", false, installer, "SetTokenInformation failed ( 5 )."},
      {"CreateProcessAsUserW", false, installer, "CreateProcessAsUser failed ( 5 )."},
      {"GetExitCodeProcess", false, installer, "GetExitCodeProcess failed ( 5 )."},
      {"", false, missing, "CreateProcessAsUser failed ( 2 )."},
      {"", true, installer, "CreateProcessAsUser failed ( 87 )."},
  };
  for (auto& c : cases) {
    setenv("TARVIK_WIN32_FAIL", c.fail, 1);
    if (c.noConsole) setenv("TARVIK_WIN32_NO_CONSOLE_SESSION", "1", 1);
    testkit::LogCapture log;
    EXPECT_FALSE(StartProcessAsSystem(c.executable, L"-console", true)) << c.line;
    EXPECT_EQ(log.Errors(), std::vector<std::string>{c.line});
    unsetenv("TARVIK_WIN32_NO_CONSOLE_SESSION");
  }
}

}  // namespace
