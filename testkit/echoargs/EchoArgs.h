// Lets a test program start itself as a child that records what it was started with.
// Including this header is enough: when TARVIK_ECHOARGS_FILE is set, the program writes its
// record there before main and exits with TARVIK_ECHOARGS_EXIT (default 0). When
// TARVIK_ECHOARGS_RELEASE is set it first waits until that file exists, so a test can hold it
// running.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace testkit {

inline constexpr const char* kEchoFileVariable = "TARVIK_ECHOARGS_FILE";
inline constexpr const char* kEchoExitVariable = "TARVIK_ECHOARGS_EXIT";
inline constexpr const char* kEchoReleaseVariable = "TARVIK_ECHOARGS_RELEASE";

struct EchoRecord {
  std::vector<std::string> argv;
  std::string commandLine;  // GetCommandLineW, in UTF-8
  std::string session;      // the session the starter gave it
  std::string directory;    // its current folder, native
  bool commandLineVariableLeft = false;  // the exact command line still in its environment
};

namespace echo_detail {

inline std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

inline void WriteField(std::ofstream& out, const std::string& field) {
  out << field.size() << ':' << field;
}

inline bool ReadField(const std::string& raw, size_t& at, std::string& field) {
  size_t colon = raw.find(':', at);
  if (colon == std::string::npos) return false;
  size_t length = std::stoul(raw.substr(at, colon - at));
  if (colon + 1 + length > raw.size()) return false;
  field = raw.substr(colon + 1, length);
  at = colon + 1 + length;
  return true;
}

inline std::vector<std::string> OwnArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  for (size_t start = 0; start < raw.size();) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    arguments.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

inline bool RunAsEchoChildIfAsked() {
  std::string file = Variable(kEchoFileVariable);
  if (file.empty()) return false;
  std::string commandLine = win32::WideToUtf8(GetCommandLineW());
  std::string release = Variable(kEchoReleaseVariable);
  // A held child also gives up once its test has removed the folder, so that none outlives it.
  std::string folder = release.substr(0, release.rfind('/'));
  while (!release.empty() && access(release.c_str(), F_OK) != 0 && access(folder.c_str(), F_OK) == 0)
    usleep(10000);

  std::vector<std::string> argv = OwnArguments();
  char cwd[4096] = {};
  std::string temporary = file + ".part";
  {
    std::ofstream out(temporary, std::ios::binary);
    WriteField(out, std::to_string(argv.size()));
    for (const std::string& argument : argv) WriteField(out, argument);
    WriteField(out, commandLine);
    WriteField(out, Variable("TARVIK_SESSION_ID"));
    WriteField(out, getcwd(cwd, sizeof cwd) != nullptr ? cwd : "");
    WriteField(out, std::getenv("TARVIK_WIN32_COMMAND_LINE") != nullptr ? "1" : "0");
  }
  std::rename(temporary.c_str(), file.c_str());
  _exit(std::atoi(Variable(kEchoExitVariable).c_str()));
}

inline const bool g_echoChild = RunAsEchoChildIfAsked();

}  // namespace echo_detail

// The record a child wrote, or nothing when it has not (yet) written one.
inline std::optional<EchoRecord> ReadEchoRecord(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EchoRecord record;
  size_t at = 0;
  std::string count;
  if (!echo_detail::ReadField(raw, at, count)) return std::nullopt;
  record.argv.resize(std::stoul(count));
  std::string left;
  for (std::string& argument : record.argv)
    if (!echo_detail::ReadField(raw, at, argument)) return std::nullopt;
  if (!echo_detail::ReadField(raw, at, record.commandLine) ||
      !echo_detail::ReadField(raw, at, record.session) ||
      !echo_detail::ReadField(raw, at, record.directory) ||
      !echo_detail::ReadField(raw, at, left))
    return std::nullopt;
  record.commandLineVariableLeft = left == "1";
  return record;
}

// One test's children: a fresh folder for their record and release files, removed with it.
// The children this test starts record into it.
class EchoChildren {
 public:
  EchoChildren() {
    char pattern[] = "/tmp/tarvik-echo-XXXXXX";
    if (mkdtemp(pattern) != nullptr) m_folder = pattern;
    m_record = m_folder + "/record";
    setenv(kEchoFileVariable, m_record.c_str(), 1);
  }
  ~EchoChildren() {
    unsetenv(kEchoFileVariable);
    unsetenv(kEchoExitVariable);
    unsetenv(kEchoReleaseVariable);
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  EchoChildren(const EchoChildren&) = delete;
  EchoChildren& operator=(const EchoChildren&) = delete;

  const std::string& Folder() const { return m_folder; }
  const std::string& RecordPath() const { return m_record; }

  // The record of the child started last, waiting up to 30 s for it to appear.
  std::optional<EchoRecord> WaitForRecord() const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      if (auto record = ReadEchoRecord(m_record)) return record;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }
  // Makes room for the next child's record.
  void ForgetRecord() const { std::filesystem::remove(m_record); }
  void ExitWith(int code) const { setenv(kEchoExitVariable, std::to_string(code).c_str(), 1); }
  // Children started from now on keep running until Release.
  void Hold() const { setenv(kEchoReleaseVariable, (m_folder + "/release").c_str(), 1); }
  void Release() const { std::ofstream(m_folder + "/release").put('x'); }

 private:
  std::string m_folder;
  std::string m_record;
};

}  // namespace testkit
