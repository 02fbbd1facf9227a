#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/NativeFolders.h"
#include "platform/win32/internal/Services.h"

namespace win32 {
namespace {

constexpr size_t kMaxServiceNameLength = 256;

DWORD ErrorFromErrno(int error) {
  return error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                                                             : ERROR_PATH_NOT_FOUND;
}


// Service names are compared without regard to case; the file name is the lower-case form.
std::string RecordStem(const std::wstring& name) {
  std::wstring key = name;
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return ServiceDatabaseFolder() + "/" + WideToUtf8(key);
}

std::string RecordPath(const std::wstring& name) { return RecordStem(name) + ".svc"; }
std::string HistoryPath(const std::wstring& name) { return RecordStem(name) + ".history"; }

DWORD ToDword(const std::string& text) {
  return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
}

std::string StatusLine(const SERVICE_STATUS& s) {
  std::ostringstream out;
  out << s.dwServiceType << ' ' << s.dwCurrentState << ' ' << s.dwControlsAccepted << ' '
      << s.dwWin32ExitCode << ' ' << s.dwServiceSpecificExitCode << ' ' << s.dwCheckPoint << ' '
      << s.dwWaitHint;
  return out.str();
}

bool ParseStatusLine(const std::string& line, SERVICE_STATUS* s) {
  std::istringstream in(line);
  in >> s->dwServiceType >> s->dwCurrentState >> s->dwControlsAccepted >> s->dwWin32ExitCode >>
      s->dwServiceSpecificExitCode >> s->dwCheckPoint >> s->dwWaitHint;
  return !in.fail();
}

std::string Serialise(const ServiceRecord& r) {
  std::ostringstream out;
  out << "name=" << WideToUtf8(r.name) << '\n'
      << "display=" << WideToUtf8(r.displayName) << '\n'
      << "binary=" << WideToUtf8(r.binaryPath) << '\n'
      << "account=" << WideToUtf8(r.account) << '\n'
      << "start=" << r.startType << '\n'
      << "error=" << r.errorControl << '\n'
      << "deleted=" << (r.markedForDelete ? 1 : 0) << '\n'
      << "status=" << StatusLine(r.status) << '\n'
      << "pid=" << r.pid << '\n'
      << "pidstart=" << r.pidStartTime << '\n'
      << "lastpid=" << r.lastPid << '\n'
      << "control=" << r.controlAddress << '\n'
      << "dispatched=" << (r.dispatcherStarted ? 1 : 0) << '\n';
  for (const std::wstring& argument : r.arguments) out << "arg=" << WideToUtf8(argument) << '\n';
  return out.str();
}

bool Parse(const std::string& text, ServiceRecord* r) {
  std::istringstream in(text);
  std::string line;
  bool named = false;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    if (key == "name") {
      r->name = Utf8ToWide(value);
      named = true;
    } else if (key == "display") {
      r->displayName = Utf8ToWide(value);
    } else if (key == "binary") {
      r->binaryPath = Utf8ToWide(value);
    } else if (key == "account") {
      r->account = Utf8ToWide(value);
    } else if (key == "start") {
      r->startType = ToDword(value);
    } else if (key == "error") {
      r->errorControl = ToDword(value);
    } else if (key == "deleted") {
      r->markedForDelete = value == "1";
    } else if (key == "status") {
      ParseStatusLine(value, &r->status);
    } else if (key == "pid") {
      r->pid = ToDword(value);
    } else if (key == "pidstart") {
      r->pidStartTime = std::strtoull(value.c_str(), nullptr, 10);
    } else if (key == "lastpid") {
      r->lastPid = ToDword(value);
    } else if (key == "control") {
      r->controlAddress = value;
    } else if (key == "dispatched") {
      r->dispatcherStarted = value == "1";
    } else if (key == "arg") {
      r->arguments.push_back(Utf8ToWide(value));
    }
  }
  return named;
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  *text = content.str();
  return true;
}

}  // namespace

std::string ServiceDatabaseFolder() {
  return WindowsToNativePath(std::string("C:\\Windows\\System32\\config\\Services"));
}

ServiceDatabaseLock::ServiceDatabaseLock() {
  std::string folder = ServiceDatabaseFolder();
  if (!MakeNativeFolders(folder)) {
    m_error = ErrorFromErrno(errno);
    return;
  }
  // Close-on-exec, so a service process started under the lock does not share it.
  m_fd = open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m_fd < 0) {
    m_error = ErrorFromErrno(errno);
    return;
  }
  while (flock(m_fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    m_error = ErrorFromErrno(errno);
    close(m_fd);
    m_fd = -1;
    return;
  }
}

ServiceDatabaseLock::~ServiceDatabaseLock() {
  if (m_fd >= 0) close(m_fd);
}

bool ServiceDatabaseLock::Held(DWORD* error) const {
  if (m_fd >= 0) return true;
  *error = m_error;
  return false;
}

DWORD CheckServiceName(const std::wstring& name) {
  if (name.empty() || name.size() > kMaxServiceNameLength ||
      name.find_first_of(L"/\\\r\n") != std::wstring::npos || name == L"." || name == L"..")
    return ERROR_INVALID_NAME;
  return ERROR_SUCCESS;
}

bool LoadService(const std::wstring& name, ServiceRecord* record) {
  if (CheckServiceName(name) != ERROR_SUCCESS) return false;
  std::string text;
  if (!ReadFile(RecordPath(name), &text)) return false;
  ServiceRecord loaded;
  if (!Parse(text, &loaded)) return false;
  bool changed = false;
  if (loaded.status.dwCurrentState != SERVICE_STOPPED &&
      (loaded.pidStartTime == 0 || ProcessStartTime(loaded.pid) != loaded.pidStartTime)) {
    loaded.status.dwCurrentState = SERVICE_STOPPED;
    loaded.status.dwCheckPoint = 0;
    loaded.status.dwWaitHint = 0;
    loaded.status.dwControlsAccepted = 0;
    loaded.status.dwWin32ExitCode = ERROR_PROCESS_ABORTED;
    changed = true;
  }
  if (loaded.status.dwCurrentState == SERVICE_STOPPED && (loaded.pid != 0 || !loaded.controlAddress.empty())) {
    loaded.pid = 0;
    loaded.pidStartTime = 0;
    loaded.controlAddress.clear();
    changed = true;
  }
  if (loaded.markedForDelete && loaded.status.dwCurrentState == SERVICE_STOPPED) {
    RemoveService(name);
    return false;
  }
  if (changed) SaveService(loaded);
  *record = loaded;
  return true;
}

DWORD SaveService(const ServiceRecord& record) {
  std::string path = RecordPath(record.name);
  std::string temporary = path + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) return ERROR_ACCESS_DENIED;
    file << Serialise(record);
    if (!file.flush()) return ERROR_ACCESS_DENIED;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) return ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

void RemoveService(const std::wstring& name) { std::remove(RecordPath(name).c_str()); }

void AppendStatusHistory(const std::wstring& name, const SERVICE_STATUS& status) {
  std::ofstream file(HistoryPath(name), std::ios::binary | std::ios::app);
  file << StatusLine(status) << '\n';
}

std::vector<SERVICE_STATUS> ReadStatusHistory(const std::wstring& name) {
  std::vector<SERVICE_STATUS> history;
  std::string text;
  if (!ReadFile(HistoryPath(name), &text)) return history;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    SERVICE_STATUS status{};
    if (ParseStatusLine(line, &status)) history.push_back(status);
  }
  return history;
}

std::vector<std::wstring> ListServices() {
  std::vector<std::wstring> names;
  DIR* folder = opendir(ServiceDatabaseFolder().c_str());
  if (folder == nullptr) return names;
  while (dirent* entry = readdir(folder)) {
    std::string file = entry->d_name;
    if (file.size() <= 4 || file.compare(file.size() - 4, 4, ".svc") != 0) continue;
    std::string text;
    ServiceRecord record;
    if (ReadFile(ServiceDatabaseFolder() + "/" + file, &text) && Parse(text, &record))
      names.push_back(record.name);
  }
  closedir(folder);
  return names;
}

std::string ServiceOutputPath(const std::wstring& name) { return RecordStem(name) + ".output"; }

std::string ServiceExitCodePath(const std::wstring& name) { return RecordStem(name) + ".exitcode"; }

unsigned long long ProcessStartTime(DWORD pid) {
  if (pid == 0) return 0;
  std::string text;
  if (!ReadFile("/proc/" + std::to_string(pid) + "/stat", &text)) return 0;
  // The command name may hold anything, blanks and parentheses included: fields follow the last ')'.
  size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string state;
  fields >> state;
  if (state == "Z" || state == "X" || state == "x") return 0;
  std::string skipped;
  for (int field = 4; field < 22; ++field) fields >> skipped;
  unsigned long long startTime = 0;
  fields >> startTime;
  return startTime;
}

}  // namespace win32
