#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/Spawn.h"

namespace win32 {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool NeedsQuotes(const std::wstring& text) {
  return text.empty() || text.find_first_of(L" \t\n\v\"") != std::wstring::npos;
}

// Arguments of a process started from a Linux shell, from the kernel's record of its argv.
std::vector<std::string> OwnArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    arguments.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

// Taken once; the variable is removed so that programs this one starts by other means than
// CreateProcess do not inherit a command line that is not theirs.
std::wstring CaptureCommandLine() {
  if (const char* exact = getenv(kCommandLineVariable)) {
    std::wstring line = Utf8ToWide(exact);
    unsetenv(kCommandLineVariable);
    return line;
  }
  std::vector<std::string> own = OwnArguments();
  std::vector<std::wstring> arguments;
  for (size_t i = 1; i < own.size(); ++i) arguments.push_back(Utf8ToWide(own[i]));
  return JoinCommandLine(CurrentImagePath(), arguments);
}

std::wstring& ProcessCommandLine() {
  static std::wstring line = CaptureCommandLine();
  return line;
}

// Before main, while there is one thread, so that unsetenv cannot race a getenv.
[[maybe_unused]] const bool g_commandLineCaptured = (ProcessCommandLine(), true);

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  const wchar_t* p = commandLine.c_str();
  const wchar_t* end = p + commandLine.size();

  std::wstring program;
  bool inQuotes = false;
  for (; p < end && (inQuotes || !IsBlank(*p)); ++p) {
    if (*p == L'"')
      inQuotes = !inQuotes;
    else
      program.push_back(*p);
  }
  arguments.push_back(program);

  for (;;) {
    while (p < end && IsBlank(*p)) ++p;
    if (p >= end) break;
    std::wstring argument;
    inQuotes = false;
    for (;;) {
      size_t backslashes = 0;
      while (p < end && *p == L'\\') ++p, ++backslashes;
      bool copy = true;
      if (p < end && *p == L'"') {
        if (backslashes % 2 == 0) {
          if (inQuotes && p + 1 < end && p[1] == L'"') {
            ++p;
          } else {
            copy = false;
            inQuotes = !inQuotes;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, L'\\');
      if (p >= end || (!inQuotes && IsBlank(*p))) break;
      if (copy) argument.push_back(*p);
      ++p;
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!NeedsQuotes(argument)) return argument;
  std::wstring quoted = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') ++i, ++backslashes;
    if (i == argument.size()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted.push_back(argument[i]);
  }
  quoted.push_back(L'"');
  return quoted;
}

std::wstring JoinCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  std::wstring line = program.find_first_of(L" \t") == std::wstring::npos && !program.empty()
                          ? program
                          : L"\"" + program + L"\"";
  for (const std::wstring& argument : arguments) line += L" " + QuoteArgument(argument);
  return line;
}

}  // namespace win32

LPWSTR GetCommandLineW() { return win32::ProcessCommandLine().data(); }
