// Starting programs the Windows way: a Windows command line, split by the C runtime's rules
// into the child's argv, the program found by CreateProcess's rules, started with posix_spawn.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/api/Types.h"
#include "platform/win32/internal/KernelObject.h"
#include "platform/win32/internal/RunState.h"

namespace win32 {

// The environment variables through which a child learns its exact Windows command line and
// its session. Every spawn sets both anew.
inline constexpr const char* kCommandLineVariable = "TARVIK_WIN32_COMMAND_LINE";
inline constexpr const char* kSessionVariable = "TARVIK_SESSION_ID";
// The program that runs PE images (files that begin with "MZ"), as Linux runs a foreign binary
// through its registered interpreter: it gets the image's native path, then the arguments.
inline constexpr const char* kPeRunnerVariable = "TARVIK_WIN32_PE_RUNNER";

// argv[0] runs to the first blank or tab outside quotes, quotes dropped, backslashes literal.
// Later arguments: 2n backslashes before a quote give n and the quote opens or closes quoting,
// 2n+1 give n and a literal quote; "" inside quotes is a literal quote; other backslashes are
// literal.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);
// The argument written so that SplitCommandLine gives it back unchanged (not for argv[0]).
std::wstring QuoteArgument(const std::wstring& argument);
// The program path (in quotes when it holds a blank) followed by the quoted arguments.
std::wstring JoinCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

// A started process. Its reaper collects the exit status as soon as it ends, so no zombie
// remains whether or not anybody waits; the handles only share this record. One ended by
// signal n reads as exit code 128 + n.
class ChildProcess : public RunState {
 public:
  ChildProcess(DWORD pid, DWORD sessionId, std::wstring imagePath);

  DWORD Pid() const { return m_pid; }
  DWORD SessionId() const { return m_sessionId; }
  // Windows form of the program started.
  const std::wstring& ImagePath() const { return m_imagePath; }

 private:
  const DWORD m_pid;
  const DWORD m_sessionId;
  const std::wstring m_imagePath;
};

struct SpawnRequest {
  // Windows path of the program; empty: the program is taken from the command line, where an
  // unquoted path with blanks is tried at each blank in turn, as Windows does.
  std::wstring applicationName;
  // What the child's GetCommandLineW returns, exactly; also the source of its argv.
  std::wstring commandLine;
  // Windows path; empty: the caller's.
  std::wstring currentDirectory;
  DWORD sessionId = 1;
  // Without inheritance the child gets only standard input, output and error.
  bool inheritHandles = false;
  // Set in the child on top of the caller's environment.
  std::vector<std::pair<std::string, std::string>> environment;
};

// The started process, or null with the Windows error code in *error (ERROR_FILE_NOT_FOUND
// for a missing program, ERROR_ACCESS_DENIED for a folder or a file that may not be run,
// ERROR_BAD_EXE_FORMAT for a PE image when no runner is set, ...).
std::shared_ptr<ChildProcess> SpawnProcess(const SpawnRequest& request, DWORD* error);

// The kernel objects behind a process handle and its main thread's handle; both are signalled
// when the process ends.
class ProcessObject : public WaitableObject {
 public:
  explicit ProcessObject(std::shared_ptr<ChildProcess> process) : m_process(std::move(process)) {}
  DWORD Wait(DWORD milliseconds) override { return m_process->Wait(milliseconds); }
  ChildProcess& Process() { return *m_process; }

 private:
  std::shared_ptr<ChildProcess> m_process;
};

class ThreadObject : public WaitableObject {
 public:
  explicit ThreadObject(std::shared_ptr<ChildProcess> process) : m_process(std::move(process)) {}
  DWORD Wait(DWORD milliseconds) override { return m_process->Wait(milliseconds); }

 private:
  std::shared_ptr<ChildProcess> m_process;
};

// Windows form of this process's executable.
std::wstring CurrentImagePath();

// The session of this process: as its starter set it, else 1 (started from a shell at the
// console).
DWORD CurrentSessionId();

}  // namespace win32
