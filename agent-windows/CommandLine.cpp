#include "agent-windows/CommandLine.h"

#include <cwctype>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Where the program's path ends: at its closing quotation mark, or at the first blank.
std::size_t AfterProgramPath(const std::wstring& line) {
  if (!line.empty() && line[0] == L'"') {
    std::size_t close = line.find(L'"', 1);
    return close == std::wstring::npos ? line.size() : close + 1;
  }
  std::size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return end;
}

bool SameText(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i)
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
      return false;
  return i == a.size() && b[i] == L'\0';
}

}  // namespace

AgentMode ParseAgentMode(const std::wstring& commandLine) {
  std::size_t start = AfterProgramPath(commandLine);
  std::size_t mark = commandLine.find(L'/', start);
  if (mark == std::wstring::npos) mark = commandLine.find(L'-', start);
  if (mark == std::wstring::npos) return AgentMode::kService;
  std::wstring option = commandLine.substr(mark + 1);
  if (SameText(option, L"install")) return AgentMode::kInstall;
  if (SameText(option, L"remove") || SameText(option, L"Uninstall")) return AgentMode::kRemove;
  return AgentMode::kNone;
}
