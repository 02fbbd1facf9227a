// A Windows command line, as the stand-in splits it into a child's argv and as the agent reads
// its switch from it. The split arguments, joined again, must split back unchanged; and the
// program path, whatever '/' or '-' it holds, must never be taken for the agent's switch.
//
// Input: a byte whose low bit picks the decoding of the rest: one character a byte (quotes,
// blanks and backslashes come easily), or UTF-16LE code units (any character, lone surrogates
// included).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "agent-windows/CommandLine.h"
#include "platform/win32/internal/Spawn.h"

namespace {

std::wstring Decode(const std::uint8_t* data, std::size_t size, bool utf16) {
  std::wstring line;
  if (!utf16) {
    line.assign(data, data + size);
    return line;
  }
  for (std::size_t i = 0; i + 1 < size; i += 2) line.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::wstring line = Decode(data + 1, size - 1, (data[0] & 1) != 0);

  ParseAgentMode(line);

  const std::vector<std::wstring> argv = win32::SplitCommandLine(line);
  if (argv.empty()) std::abort();
  const std::wstring& program = argv[0];
  const std::vector<std::wstring> arguments(argv.begin() + 1, argv.end());
  if (win32::SplitCommandLine(win32::JoinCommandLine(program, arguments)) != argv) std::abort();

  if (ParseAgentMode(win32::JoinCommandLine(program, {})) != AgentMode::kService ||
      ParseAgentMode(win32::JoinCommandLine(program, {L"/install"})) != AgentMode::kInstall ||
      ParseAgentMode(win32::JoinCommandLine(program, {L"-Remove"})) != AgentMode::kRemove)
    std::abort();
  return 0;
}
