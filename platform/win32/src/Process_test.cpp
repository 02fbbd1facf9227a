#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Spawn.h"
#include "testkit/echoargs/EchoArgs.h"

namespace {

namespace fs = std::filesystem;

// Started children are this test program itself, recording what it saw (testkit/echoargs).
class ProcessTest : public ::testing::Test {
 protected:
  static std::wstring Self() { return win32::CurrentImagePath(); }
  std::wstring WindowsPath(const std::string& native) const { return win32::NativeToWindowsPath(native); }

  BOOL Start(std::wstring commandLine, PROCESS_INFORMATION* info, const wchar_t* application = nullptr,
             const wchar_t* directory = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory, &startup, info);
  }

  testkit::EchoRecord WaitForRecord() {
    std::optional<testkit::EchoRecord> record = m_children.WaitForRecord();
    if (!record) ADD_FAILURE() << "the child wrote no record";
    return record.value_or(testkit::EchoRecord{});
  }

  static DWORD WaitAndGetExitCode(const PROCESS_INFORMATION& info) {
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return code;
  }

  testkit::EchoChildren m_children;
  const std::string m_dir = m_children.Folder();
};

TEST_F(ProcessTest, ArgumentsAndCommandLineArriveIntact) {
  m_children.ExitWith(7);
  std::wstring line = L"\"" + Self() + L"\" \"two words\" a\\\"b \"\" end\\\\ -sn  X1";
  std::wstring directory = WindowsPath(m_dir);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(line, &info, nullptr, directory.c_str()));
  EXPECT_EQ(WaitAndGetExitCode(info), 7u);

  testkit::EchoRecord record = WaitForRecord();
  std::vector<std::string> expected = {win32::WideToUtf8(Self()), "two words", "a\"b", "",
                                       "end\\\\", "-sn", "X1"};
  EXPECT_EQ(record.argv, expected);
  EXPECT_EQ(record.commandLine, win32::WideToUtf8(line));
  EXPECT_FALSE(record.commandLineVariableLeft);
  EXPECT_EQ(record.directory, m_dir);
  EXPECT_EQ(record.session, "1");
}

TEST_F(ProcessTest, ApplicationNameWithoutCommandLineIsTheWholeCommandLine) {
  std::wstring self = Self();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(self.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  EXPECT_EQ(WaitAndGetExitCode(info), 0u);
  EXPECT_EQ(WaitForRecord().commandLine, win32::WideToUtf8(self));
}

TEST_F(ProcessTest, StillActiveUntilItEnds) {
  m_children.Hold();
  m_children.ExitWith(3);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(L"\"" + Self() + L"\"", &info));

  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(info.hThread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

  m_children.Release();
  EXPECT_EQ(WaitForSingleObject(info.hThread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitAndGetExitCode(info), 3u);
}

TEST_F(ProcessTest, NoZombieWhenNobodyWaits) {
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(L"\"" + Self() + L"\"", &info));
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  WaitForRecord();

  // A zombie keeps its /proc entry until somebody collects it.
  std::string entry = "/proc/" + std::to_string(info.dwProcessId);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (fs::exists(entry) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(fs::exists(entry)) << "process " << info.dwProcessId << " left as a zombie";
}

TEST_F(ProcessTest, ProgramThatCannotBeStarted) {
  fs::create_directories(m_dir + "/folder.exe");
  struct Case {
    std::wstring line;
    DWORD error;
  } cases[] = {
      {L"\"" + WindowsPath(m_dir) + L"\\missing.exe\" /uninstall", ERROR_FILE_NOT_FOUND},
      {WindowsPath(m_dir) + L"\\missing.exe", ERROR_FILE_NOT_FOUND},
      {L"", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    PROCESS_INFORMATION info{};
    SetLastError(0);
    EXPECT_FALSE(Start(c.line, &info));
    EXPECT_EQ(GetLastError(), c.error) << win32::WideToUtf8(c.line);
  }
  std::wstring folder = WindowsPath(m_dir + "/folder.exe");
  PROCESS_INFORMATION info{};
  EXPECT_FALSE(Start(L"x", &info, folder.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// An unquoted program path with blanks is tried at each blank, so what runs depends on which
// of the shorter paths exist.
TEST_F(ProcessTest, UnquotedPathWithBlanksRunsTheFirstThatExists) {
  std::string self = win32::WindowsToNativePath(Self());
  fs::create_directories(m_dir + "/Program Files");
  fs::create_symlink(self, m_dir + "/Program Files/tool.exe");
  std::wstring line = WindowsPath(m_dir) + L"\\Program Files\\tool.exe arg";

  struct Case {
    bool shadowed;
    std::string runs;
  } cases[] = {{false, m_dir + "/Program Files/tool.exe"}, {true, m_dir + "/Program.exe"}};
  for (const Case& c : cases) {
    if (c.shadowed) fs::create_symlink(self, m_dir + "/Program.exe");
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Start(line, &info));
    WCHAR image[MAX_PATH];
    DWORD size = MAX_PATH;
    ASSERT_TRUE(QueryFullProcessImageNameW(info.hProcess, 0, image, &size));
    EXPECT_EQ(std::wstring(image, size), WindowsPath(c.runs));
    WaitAndGetExitCode(info);
    std::vector<std::string> expected = {win32::WideToUtf8(WindowsPath(m_dir)) + "\\Program",
                                         "Files\\tool.exe", "arg"};
    EXPECT_EQ(WaitForRecord().argv, expected);
    m_children.ForgetRecord();
  }
}

TEST_F(ProcessTest, ChildStartedFromAShellBuildsItsCommandLineFromArgv) {
  std::string self = win32::WindowsToNativePath(Self());
  std::vector<std::string> arguments = {self, "plain", "two words", "quote\"inside", "back\\"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::string recordVariable = std::string(testkit::kEchoFileVariable) + "=" + m_children.RecordPath();
  char* envp[] = {recordVariable.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), envp), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);

  testkit::EchoRecord record = WaitForRecord();
  std::vector<std::wstring> split = win32::SplitCommandLine(win32::Utf8ToWide(record.commandLine));
  std::vector<std::wstring> expected = {Self(), L"plain", L"two words", L"quote\"inside", L"back\\"};
  EXPECT_EQ(split, expected);
}

// A PE image runs through the program named in TARVIK_WIN32_PE_RUNNER; here the runner is this
// test program, which records what it was given.
class PeImageTest : public ProcessTest {
 protected:
  void SetUp() override {
    // Written as a download would be: not marked executable.
    std::ofstream(m_image, std::ios::binary) << std::string("MZ\x90\0\x03", 5);
  }
  void TearDown() override { unsetenv(win32::kPeRunnerVariable); }

  const std::string m_image = m_dir + "/setup.exe";
};

TEST_F(PeImageTest, RunnerGetsTheImageThenTheArguments) {
  std::string runner = win32::WindowsToNativePath(Self());
  setenv(win32::kPeRunnerVariable, runner.c_str(), 1);
  m_children.ExitWith(5);
  std::wstring line = L"\"" + WindowsPath(m_image) + L"\" -no_delay -sn \"S 1\" S2";
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(line, &info));
  WCHAR image[MAX_PATH];
  DWORD size = MAX_PATH;
  ASSERT_TRUE(QueryFullProcessImageNameW(info.hProcess, 0, image, &size));
  EXPECT_EQ(std::wstring(image, size), WindowsPath(m_image));
  EXPECT_EQ(WaitAndGetExitCode(info), 5u);

  testkit::EchoRecord record = WaitForRecord();
  std::vector<std::string> expected = {runner, m_image, "-no_delay", "-sn", "S 1", "S2"};
  EXPECT_EQ(record.argv, expected);
  EXPECT_EQ(record.commandLine, win32::WideToUtf8(line));
}

TEST_F(PeImageTest, WithoutRunnerTheImageIsNoExecutable) {
  for (const char* runner : {static_cast<const char*>(nullptr), ""}) {
    if (runner != nullptr) setenv(win32::kPeRunnerVariable, runner, 1);
    PROCESS_INFORMATION info{};
    SetLastError(0);
    EXPECT_FALSE(Start(L"\"" + WindowsPath(m_image) + L"\" -no_delay", &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(info.hProcess, nullptr);
  }
}

// The service's way into the console session: its own token, duplicated, moved to a session.
class ProcessAsUserTest : public ProcessTest {
 protected:
  void TearDown() override {
    unsetenv("TARVIK_WIN32_FAIL");
    for (HANDLE token : m_tokens) CloseHandle(token);
  }

  HANDLE SessionToken(DWORD session) {
    HANDLE own = nullptr;
    HANDLE duplicate = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), 0x201EB, &own));
    m_tokens.push_back(own);
    EXPECT_TRUE(DuplicateTokenEx(own, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                                 TokenPrimary, &duplicate));
    m_tokens.push_back(duplicate);
    EXPECT_TRUE(SetTokenInformation(duplicate, TokenSessionId, &session, sizeof session));
    return duplicate;
  }

  BOOL StartAs(HANDLE token, PROCESS_INFORMATION* info) {
    std::wstring line = L"\"" + Self() + L"\" x";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessAsUserW(token, nullptr, line.data(), nullptr, nullptr, FALSE,
                                CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, info);
  }

  std::vector<HANDLE> m_tokens;
};

TEST_F(ProcessAsUserTest, ChildRunsInTheTokensSession) {
  for (DWORD session : {0u, 1u}) {
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(StartAs(SessionToken(session), &info));
    WaitAndGetExitCode(info);
    EXPECT_EQ(WaitForRecord().session, std::to_string(session));
    m_children.ForgetRecord();
  }
}

TEST_F(ProcessAsUserTest, SessionThatDoesNotExist) {
  PROCESS_INFORMATION info{};
  EXPECT_FALSE(StartAs(SessionToken(0xFFFFFFFF), &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessAsUserTest, TokenAccessIsChecked) {
  HANDLE queryOnly = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
  m_tokens.push_back(queryOnly);
  HANDLE duplicate = nullptr;
  EXPECT_FALSE(DuplicateTokenEx(queryOnly, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                                TokenPrimary, &duplicate));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  DWORD session = 1;
  EXPECT_FALSE(SetTokenInformation(queryOnly, TokenSessionId, &session, sizeof session));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  PROCESS_INFORMATION info{};
  EXPECT_FALSE(StartAs(queryOnly, &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ProcessAsUserTest, TestsCanMakeEachStepFail) {
  for (const char* step : {"OpenProcessToken", "DuplicateTokenEx", "SetTokenInformation",
                           "CreateProcessAsUserW", "GetExitCodeProcess"}) {
    HANDLE token = SessionToken(1);
    setenv("TARVIK_WIN32_FAIL", step, 1);
    HANDLE opened = nullptr;
    HANDLE duplicated = nullptr;
    DWORD session = 1;
    PROCESS_INFORMATION info{};
    DWORD code = 0;
    BOOL results[] = {
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened),
        DuplicateTokenEx(token, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                         &duplicated),
        SetTokenInformation(token, TokenSessionId, &session, sizeof session),
        StartAs(token, &info),
        GetExitCodeProcess(GetCurrentProcess(), &code)};
    unsetenv("TARVIK_WIN32_FAIL");
    int failed = 0;
    for (BOOL result : results) failed += result ? 0 : 1;
    EXPECT_EQ(failed, 1) << step;
    for (HANDLE handle : {opened, duplicated})
      if (handle != nullptr) CloseHandle(handle);
    if (info.hProcess != nullptr) WaitAndGetExitCode(info);
  }
}

TEST(SessionTest, ConsoleSessionUnlessNobodyIsThere) {
  EXPECT_EQ(WTSGetActiveConsoleSessionId(), 1u);
  setenv("TARVIK_WIN32_NO_CONSOLE_SESSION", "1", 1);
  EXPECT_EQ(WTSGetActiveConsoleSessionId(), 0xFFFFFFFFu);
  unsetenv("TARVIK_WIN32_NO_CONSOLE_SESSION");
}

TEST(ProcessIdentityTest, ImagePathOfTheRunningProgram) {
  std::wstring self = win32::CurrentImagePath();
  ASSERT_EQ(self.rfind(L"Z:\\", 0), 0u);

  WCHAR buffer[MAX_PATH];
  DWORD size = MAX_PATH;
  ASSERT_TRUE(QueryFullProcessImageNameW(GetCurrentProcess(), 0, buffer, &size));
  EXPECT_EQ(std::wstring(buffer, size), self);

  size = static_cast<DWORD>(self.size());  // no room for the terminator
  EXPECT_FALSE(QueryFullProcessImageNameW(GetCurrentProcess(), 0, buffer, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, MAX_PATH), self.size());
  EXPECT_EQ(std::wstring(buffer), self);
  EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 4), 4u);
  EXPECT_EQ(std::wstring(buffer), self.substr(0, 3));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
