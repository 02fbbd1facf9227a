// The entry of a Windows GUI program: the program defines wWinMain, and this main calls it as
// Windows would, with the command line after the program's own path.
#include <string>

#include "platform/win32/Win32.h"

#ifndef SW_SHOWDEFAULT
#define SW_SHOWDEFAULT 10
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

namespace {

// What follows argv[0] (which ends at the first blank outside quotes) and the blanks after it.
LPWSTR ArgumentsOf(LPWSTR line) {
  bool quoted = false;
  for (; *line != L'\0' && (quoted || (*line != L' ' && *line != L'\t')); ++line)
    if (*line == L'"') quoted = !quoted;
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int main() {
  return wWinMain(nullptr, nullptr, ArgumentsOf(GetCommandLineW()), SW_SHOWDEFAULT);
}
