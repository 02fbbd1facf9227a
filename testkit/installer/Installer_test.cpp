#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Spawn.h"
#include "testkit/installer/InstallerRecord.h"
#include "testkit/installer/InstallerScript.h"
#include "testkit/installer/PipeScript.h"

namespace {

using testkit::InstallerRecord;

std::string Units(const std::string& record) { return record.substr(2, 42); }

std::string LittleEndianUnits(const std::u16string& units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.resize(42, '\0');
  return bytes;
}

TEST(InstallerRecordTest, Layout) {
  std::string record = InstallerRecord(2, "SN1", 50.0f);
  ASSERT_EQ(record.size(), 48u);
  EXPECT_EQ(record.substr(0, 8), std::string("\x02\x00S\x00N\x00"
                                             "1\x00",
                                             8));
  EXPECT_EQ(record.substr(8, 36), std::string(36, '\0'));
  EXPECT_EQ(record.substr(44), std::string("\x00\x00\x48\x42", 4));  // 50.0f
  EXPECT_EQ(InstallerRecord(4, "", -1.0f).substr(44), std::string("\x00\x00\x80\xBF", 4));
}

TEST(InstallerRecordTest, TextIsUtf16WithinTwentyOneUnits) {
  const std::string twenty(20, 'A');
  struct Case {
    const char* what;
    std::string text;
    std::u16string units;
  } cases[] = {
      {"exactly 21 units, no terminator", twenty + "B", std::u16string(20, u'A') + u"B"},
      {"longer text cut at 21 units", twenty + "BC", std::u16string(20, u'A') + u"B"},
      {"beyond the basic plane as a pair", "\xF0\x9F\x98\x80x", u"\xD83D\xDE00x"},
      {"a pair that would not fit is left out", twenty + "\xF0\x9F\x98\x80",
       std::u16string(20, u'A')},
      {"latin letter", "caf\xC3\xA9", u"caf\u00E9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Units(InstallerRecord(1, c.text, 0)), LittleEndianUnits(c.units));
  }
}

TEST(InstallerScriptTest, ScriptsThatCannotBeFollowed) {
  const char* scripts[] = {
      "{not json",
      "[1, 2]",
      R"({"steps": {"type": 1}})",
      R"({"steps": [{"type": 256}]})",
      R"({"steps": [{"type": -1}]})",
      R"({"steps": [{"type": 2, "value": 1e39}]})",
      R"({"steps": [{"raw": "0"}]})",
      R"({"steps": [{"raw": "zz"}]})",
      R"({"steps": [{"raw": ""}]})",
      R"({"steps": [{"waitForFile": ""}]})",
      R"({"steps": [{"pause": -5}]})",
      R"({"steps": [{"launch": true}]})",
      R"({"exitCode": 256})",
  };
  for (const char* script : scripts) {
    SCOPED_TRACE(script);
    EXPECT_THROW(testkit::PlanForImage("MZ" + testkit::InstallerScriptPayload(script), {"SN1"}),
                 std::invalid_argument);
  }
  std::string unterminated = "MZ" + testkit::InstallerScriptPayload("{}");
  unterminated.pop_back();
  EXPECT_THROW(testkit::PlanForImage(unterminated, {}), std::invalid_argument);
}

// Reads every message the installer writes into the agent's pipe until it goes.
class PipeListener {
 public:
  PipeListener() {
    m_server = CreateNamedPipeW(L"\\\\.\\pipe\\pipeHalvane", PIPE_ACCESS_INBOUND,
                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 3, 0, 0,
                                1000, nullptr);
    EXPECT_NE(m_server, INVALID_HANDLE_VALUE);
    m_reader = std::thread([this] { ReadClient(); });
  }
  ~PipeListener() {
    Finish();
    CloseHandle(m_server);
  }

  // The messages, once the installer has ended.
  std::vector<std::string> Messages() {
    Finish();
    return m_messages;
  }

 private:
  void Finish() {
    if (!m_reader.joinable()) return;
    // Releases the reader when no installer ever connected; busy when one did.
    HANDLE poke = CreateFileW(L"\\\\.\\pipe\\pipeHalvane", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (poke != INVALID_HANDLE_VALUE) CloseHandle(poke);
    m_reader.join();
  }

  void ReadClient() {
    if (!ConnectNamedPipe(m_server, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
    for (;;) {
      std::string buffer(64, '\0');
      DWORD read = 0;
      if (!ReadFile(m_server, buffer.data(), 64, &read, nullptr)) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
        return;
      }
      m_messages.push_back(buffer.substr(0, read));
    }
  }

  HANDLE m_server = INVALID_HANDLE_VALUE;
  std::thread m_reader;
  std::vector<std::string> m_messages;
};

// The installer started as a real update would be: an "MZ" image run through the PE runner.
class InstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "installer-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    setenv("TARVIK_KERNEL_OBJECTS", (m_dir + "/objects").c_str(), 1);
    setenv("TARVIK_INSTALLER_RECORD", RecordPath().c_str(), 1);
    setenv(win32::kPeRunnerVariable, INSTALLER_PROGRAM, 1);
  }
  void TearDown() override {
    unsetenv("TARVIK_KERNEL_OBJECTS");
    unsetenv("TARVIK_INSTALLER_RECORD");
    unsetenv(win32::kPeRunnerVariable);
    std::filesystem::remove_all(m_dir);
  }

  std::string RecordPath() const { return m_dir + "/starts.jsonl"; }
  std::string ImagePath() const { return m_dir + "/setup.exe"; }
  std::wstring CommandLine(const std::wstring& arguments) const {
    return L"\"" + win32::NativeToWindowsPath(ImagePath()) + L"\" " + arguments;
  }

  void WriteImage(const std::string& payload) const {
    std::ofstream(ImagePath(), std::ios::binary) << "MZ" << std::string(62, '\0') << payload;
  }

  // Starts the image with the arguments; the process handle, or null.
  HANDLE Start(const std::wstring& arguments) const {
    std::wstring line = CommandLine(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      ADD_FAILURE() << "the installer did not start: " << GetLastError();
      return nullptr;
    }
    CloseHandle(info.hThread);
    return info.hProcess;
  }

  static DWORD ExitCodeOf(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    CloseHandle(process);
    return code;
  }

  std::vector<nlohmann::json> Starts() const {
    std::vector<nlohmann::json> starts;
    std::ifstream file(RecordPath());
    for (std::string line; std::getline(file, line);) starts.push_back(nlohmann::json::parse(line));
    return starts;
  }

  std::string m_dir;
};

TEST_F(InstallerTest, TypicalRunReportsEverySerialNumberAndRecordsItsStart) {
  WriteImage("");
  PipeListener listener;
  const std::wstring arguments = L"-no_delay -console disconnect -sn SN1 SN2";
  HANDLE process = Start(arguments);
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(ExitCodeOf(process), 0u);

  std::vector<std::string> expected{InstallerRecord(testkit::kRecordStart, "", 0)};
  for (const char* serial : {"SN1", "SN2"})
    for (float percent : {0.0f, 50.0f, 100.0f})
      expected.push_back(InstallerRecord(testkit::kRecordProgress, serial, percent));
  expected.push_back(InstallerRecord(testkit::kRecordEnd, "", 0));
  expected.push_back(InstallerRecord(testkit::kRecordExit, "", 8888));
  EXPECT_EQ(listener.Messages(), expected);

  std::vector<nlohmann::json> starts = Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0]["image"], ImagePath());
  EXPECT_EQ(starts[0]["arguments"],
            nlohmann::json({"-no_delay", "-console", "disconnect", "-sn", "SN1", "SN2"}));
  EXPECT_EQ(starts[0]["commandLine"], win32::WideToUtf8(CommandLine(arguments)));
}

TEST_F(InstallerTest, ScriptedRunWithMalformedMessagesPausesAndExitCode) {
  const std::string longHex(98, 'e');  // 49 bytes
  WriteImage(testkit::InstallerScriptPayload(R"({
    "steps": [
      {"eachSerial": [{"type": 2, "text": "$sn/$sn", "value": 55.5}]},
      {"raw": "0102"},
      {"pause": 30},
      {"raw": ")" + longHex + R"("},
      {"type": 5, "text": "odd", "value": 1}],
    "exitCode": 3})"));
  // Started before the pipe exists: the installer waits for it.
  HANDLE process = Start(L"-no_delay -sn A1 B2");
  ASSERT_NE(process, nullptr);
  PipeListener listener;
  EXPECT_EQ(ExitCodeOf(process), 3u);

  std::vector<std::string> expected = {
      InstallerRecord(testkit::kRecordProgress, "A1/A1", 55.5f),
      InstallerRecord(testkit::kRecordProgress, "B2/B2", 55.5f),
      std::string("\x01\x02", 2),
      std::string(49, '\xEE'),
      InstallerRecord(5, "odd", 1),
  };
  EXPECT_EQ(listener.Messages(), expected);
}

TEST_F(InstallerTest, BadScriptEndsTheInstallerBeforeItReports) {
  WriteImage(testkit::InstallerScriptPayload(R"({"steps": [{"raw": "xyz"}]})"));
  PipeListener listener;
  HANDLE process = Start(L"-no_delay -sn SN1");
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(ExitCodeOf(process), 2u);
  EXPECT_TRUE(listener.Messages().empty());
  EXPECT_EQ(Starts().size(), 1u);
}

}  // namespace
