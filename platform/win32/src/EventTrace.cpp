#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/NativeFolders.h"
#include "platform/win32/internal/EventTrace.h"

namespace {

std::mutex g_mutex;
std::map<REGHANDLE, GUID> g_providers;
REGHANDLE g_nextHandle = 1;

const char* kTraceFolder = "C:\\Windows\\System32\\LogFiles\\WMI";


// One event per line: line breaks in the text are written as \r and \n.
std::string EventLine(UCHAR level, ULONGLONG keyword, PCWSTR text) {
  char head[96];
  std::snprintf(head, sizeof head, "level=%u keyword=0x%llx pid=%ld ", static_cast<unsigned>(level),
                static_cast<unsigned long long>(keyword), static_cast<long>(getpid()));
  std::string line = head;
  for (char c : win32::WideToUtf8(text ? text : L"")) {
    if (c == '\n')
      line += "\\n";
    else if (c == '\r')
      line += "\\r";
    else
      line.push_back(c);
  }
  line.push_back('\n');
  return line;
}

}  // namespace

namespace win32 {

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::string EventTraceFile(const GUID& providerId) {
  return WindowsToNativePath(std::string(kTraceFolder)) + "/" + GuidText(providerId) + ".log";
}

}  // namespace win32

ULONG EventRegister(LPCGUID providerId, PENABLECALLBACK, PVOID, PREGHANDLE regHandle) {
  if (providerId == nullptr || regHandle == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(g_mutex);
  *regHandle = g_nextHandle++;
  g_providers[*regHandle] = *providerId;
  return ERROR_SUCCESS;
}

ULONG EventUnregister(REGHANDLE regHandle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_providers.erase(regHandle) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

ULONG EventWriteString(REGHANDLE regHandle, UCHAR level, ULONGLONG keyword, PCWSTR string) {
  GUID provider;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = g_providers.find(regHandle);
    if (found == g_providers.end()) return ERROR_INVALID_HANDLE;
    provider = found->second;
  }
  std::string path = win32::EventTraceFile(provider);
  win32::MakeNativeFolders(path.substr(0, path.rfind('/')));
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return ERROR_ACCESS_DENIED;
  std::string line = EventLine(level, keyword, string);
  // One write, so that lines of several processes do not interleave.
  ssize_t written = write(fd, line.data(), line.size());
  close(fd);
  return written == static_cast<ssize_t>(line.size()) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}
