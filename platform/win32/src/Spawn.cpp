#include <cerrno>
#include <csignal>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Spawn.h"

extern char** environ;

namespace win32 {
namespace {

enum class FileKind { kMissing, kFolder, kFile };

FileKind KindOf(const std::string& nativePath) {
  struct stat info {};
  if (nativePath.empty() || stat(nativePath.c_str(), &info) != 0) return FileKind::kMissing;
  return S_ISDIR(info.st_mode) ? FileKind::kFolder : FileKind::kFile;
}

// Relative paths are the caller's, not the child's new current folder.
std::string Absolute(const std::string& nativePath) {
  if (nativePath.empty() || nativePath[0] == '/') return nativePath;
  std::string cwd(4096, '\0');
  if (getcwd(cwd.data(), cwd.size()) == nullptr) return nativePath;
  cwd.resize(cwd.find('\0'));
  return cwd + "/" + nativePath;
}

bool HasExtension(const std::wstring& path) {
  size_t name = path.find_last_of(L"\\/");
  size_t dot = path.rfind(L'.');
  return dot != std::wstring::npos && (name == std::wstring::npos || dot > name);
}

// One candidate of the command line's program: the path as written, or with ".exe" added when
// it has no extension, as Windows would look for it.
bool ProgramAt(const std::wstring& windowsPath, std::string* native) {
  std::string exact = Absolute(WindowsToNativePath(windowsPath));
  if (KindOf(exact) == FileKind::kFile) {
    *native = exact;
    return true;
  }
  if (HasExtension(windowsPath)) return false;
  std::string withExe = exact + ".exe";
  if (KindOf(withExe) != FileKind::kFile) return false;
  *native = withExe;
  return true;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

DWORD FindProgram(const SpawnRequest& request, std::string* native) {
  if (!request.applicationName.empty()) {
    *native = Absolute(WindowsToNativePath(request.applicationName));
    FileKind kind = KindOf(*native);
    if (kind == FileKind::kMissing) return ERROR_FILE_NOT_FOUND;
    return kind == FileKind::kFolder ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  }
  const std::wstring& line = request.commandLine;
  if (!line.empty() && line[0] == L'"') {
    size_t close = line.find(L'"', 1);
    std::wstring quoted = line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    return ProgramAt(quoted, native) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  }
  // An unquoted path with blanks: each blank in turn may end the program's path.
  for (size_t end = 0; end <= line.size(); ++end) {
    if (end < line.size() && !IsBlank(line[end])) continue;
    if (end == 0) break;
    if (ProgramAt(line.substr(0, end), native)) return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

std::vector<std::string> ChildEnvironment(const SpawnRequest& request) {
  std::vector<std::pair<std::string, std::string>> set = request.environment;
  set.emplace_back(kCommandLineVariable, WideToUtf8(request.commandLine));
  set.emplace_back(kSessionVariable, std::to_string(request.sessionId));
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& variable : set) replaced = replaced || variable.first == name;
    if (!replaced) entries.push_back(text);
  }
  for (const auto& variable : set) entries.push_back(variable.first + "=" + variable.second);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

bool IsPeImage(const std::string& nativePath) {
  char magic[2] = {};
  std::ifstream file(nativePath, std::ios::binary);
  return file.read(magic, sizeof magic) && magic[0] == 'M' && magic[1] == 'Z';
}

// A PE image runs through the runner: [runner, image, the arguments after the program].
DWORD PassToRunner(const std::string& nativeImage, std::vector<std::string>* arguments,
                   std::string* runner) {
  const char* named = getenv(kPeRunnerVariable);
  if (named == nullptr || *named == '\0') return ERROR_BAD_EXE_FORMAT;
  *runner = named;
  std::vector<std::string> runnerArguments = {*runner, nativeImage};
  if (!arguments->empty())
    runnerArguments.insert(runnerArguments.end(), arguments->begin() + 1, arguments->end());
  *arguments = std::move(runnerArguments);
  return ERROR_SUCCESS;
}

DWORD ExitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128 + static_cast<DWORD>(WTERMSIG(status));
  return 1;
}

// Waits for the child that the future names (none when the spawn failed) and records its end.
void Reap(std::future<std::shared_ptr<ChildProcess>> started) {
  std::shared_ptr<ChildProcess> child = started.get();
  if (!child) return;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(static_cast<pid_t>(child->Pid()), &status, 0);
  } while (result < 0 && errno == EINTR);
  child->MarkEnded(result < 0 ? 1 : ExitCodeFromStatus(status));
}

class SpawnSettings {
 public:
  SpawnSettings(const SpawnRequest& request, const std::string& nativeDirectory) {
    posix_spawn_file_actions_init(&m_actions);
    posix_spawnattr_init(&m_attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&m_attributes, &none);
    posix_spawnattr_setsigdefault(&m_attributes, &defaults);
    posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (!nativeDirectory.empty())
      posix_spawn_file_actions_addchdir_np(&m_actions, nativeDirectory.c_str());
    if (!request.inheritHandles) posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
  }
  ~SpawnSettings() {
    posix_spawn_file_actions_destroy(&m_actions);
    posix_spawnattr_destroy(&m_attributes);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  const posix_spawn_file_actions_t* Actions() const { return &m_actions; }
  const posix_spawnattr_t* Attributes() const { return &m_attributes; }

 private:
  posix_spawn_file_actions_t m_actions;
  posix_spawnattr_t m_attributes;
};

}  // namespace

ChildProcess::ChildProcess(DWORD pid, DWORD sessionId, std::wstring imagePath)
    : m_pid(pid), m_sessionId(sessionId), m_imagePath(std::move(imagePath)) {}

std::shared_ptr<ChildProcess> SpawnProcess(const SpawnRequest& request, DWORD* error) {
  std::string nativeProgram;
  *error = FindProgram(request, &nativeProgram);
  if (*error != ERROR_SUCCESS) return nullptr;

  std::string nativeDirectory;
  if (!request.currentDirectory.empty()) {
    nativeDirectory = Absolute(WindowsToNativePath(request.currentDirectory));
    if (KindOf(nativeDirectory) != FileKind::kFolder) {
      *error = ERROR_DIRECTORY;
      return nullptr;
    }
  }

  std::vector<std::string> arguments;
  for (const std::wstring& argument : SplitCommandLine(request.commandLine))
    arguments.push_back(WideToUtf8(argument));
  if (arguments.size() == 1 && arguments[0].empty()) arguments[0] = nativeProgram;
  std::string executable = nativeProgram;
  bool viaRunner = IsPeImage(nativeProgram);
  if (viaRunner) {
    *error = PassToRunner(nativeProgram, &arguments, &executable);
    if (*error != ERROR_SUCCESS) return nullptr;
  }
  std::vector<std::string> environment = ChildEnvironment(request);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  SpawnSettings settings(request, nativeDirectory);

  // The reaper exists before the child does, so a child is never left without one.
  std::promise<std::shared_ptr<ChildProcess>> started;
  std::thread reaper;
  try {
    reaper = std::thread(Reap, started.get_future());
  } catch (const std::system_error&) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  reaper.detach();

  pid_t pid = 0;
  // A runner named without a folder is looked for on the PATH.
  int result = (viaRunner ? posix_spawnp : posix_spawn)(&pid, executable.c_str(), settings.Actions(),
                                                         settings.Attributes(), argv.data(), envp.data());
  if (result != 0) {
    started.set_value(nullptr);
    *error = ErrorFromErrno(result);
    return nullptr;
  }
  auto child = std::make_shared<ChildProcess>(static_cast<DWORD>(pid), request.sessionId,
                                              NativeToWindowsPath(nativeProgram));
  started.set_value(child);
  return child;
}

DWORD CurrentSessionId() {
  const char* session = getenv(kSessionVariable);
  if (session == nullptr || *session == '\0') return 1;
  char* end = nullptr;
  unsigned long id = strtoul(session, &end, 10);
  return *end == '\0' ? static_cast<DWORD>(id) : 1;
}

}  // namespace win32
