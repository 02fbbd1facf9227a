#include "agent-windows/service/CrashDump.h"

#include <cwchar>

#include "foundation/log/Log.h"

namespace {

constexpr wchar_t kDumpFile[] = L"\\Quelmo\\HalvanePexonServiceCrashDump.dmp";

}  // namespace

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exceptionPointers) {
  // A fixed buffer: the heap may be what broke.
  WCHAR path[MAX_PATH + sizeof kDumpFile / sizeof kDumpFile[0]] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    path[0] = L'\0';
  path[MAX_PATH - 1] = L'\0';
  std::wcscat(path, kDumpFile);

  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return EXCEPTION_CONTINUE_SEARCH;
  MINIDUMP_EXCEPTION_INFORMATION exceptionInformation{GetCurrentThreadId(), exceptionPointers,
                                                      FALSE};
  if (MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                        &exceptionInformation, nullptr, nullptr))
    LogError(L"The crash dump file has been created: %s", path);
  else
    LogError(L"Failed to create crash dump file: %s", path);
  CloseHandle(file);
  return EXCEPTION_CONTINUE_SEARCH;
}
