// A settings file, as GetPrivateProfileStringW reads it: the file's bytes come from the input,
// the section, key, default and destination size from its first two bytes.
//
// Input: a byte choosing the section (low nibble) and the key (high nibble); a byte choosing the
// destination size (bits 0-2) and the default (bits 3-5), or with its top bit set reading the
// agent's settings the way the agent does; then the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

#include "agent-windows/ServerSettings.h"
#include "fuzz/ScratchFolder.h"
#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace {

// The agent's reader logs every empty value it converts.
[[maybe_unused]] const bool g_silenced = (spdlog::set_level(spdlog::level::off), true);

// The settings file, rewritten for every input.
class ScratchFile {
 public:
  ScratchFile()
      : m_path(fuzzing::ScratchFolder("profile") / "settings.ini"),
        m_windowsPath(win32::NativeToWindowsPath(m_path)) {}

  void Write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  }
  const std::wstring& WindowsPath() const { return m_windowsPath; }

 private:
  std::string m_path;
  std::wstring m_windowsPath;
};

const ScratchFile& Scratch() {
  static const ScratchFile scratch;
  return scratch;
}

// Names the seeds use, their case changed, an empty one and one no file has.
const wchar_t* const kSections[] = {L"ServerSettings", L"serversettings", L"S", L"T", L"", L"Absent", L" S "};
const wchar_t* const kKeys[] = {L"Server", L"Port", L"Protocol", L"Folder", L"Log", L"SERVER", L"A", L"", L"Absent"};
const DWORD kSizes[] = {1, 2, 3, 5, 16, 64, 512, 4096};
const std::wstring kLongDefault(700, L'd');
const wchar_t* const kDefaults[] = {nullptr, L"", L"fallback", L"fallback  ", L"   ", L"x", kLongDefault.c_str(), L"a b"};

template <typename T, std::size_t N>
const T& Pick(const T (&choices)[N], unsigned index) {
  return choices[index % N];
}

void ReadOne(std::uint8_t names, std::uint8_t shape) {
  const DWORD size = Pick(kSizes, shape & 7);
  // Exactly the destination's size, so that a write past it shows.
  std::vector<wchar_t> out(size, L'#');
  const DWORD count = GetPrivateProfileStringW(Pick(kSections, names & 0x0F), Pick(kKeys, names >> 4),
                                               Pick(kDefaults, (shape >> 3) & 7), out.data(), size,
                                               Scratch().WindowsPath().c_str());
  if (count >= size || out[count] != L'\0') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  Scratch().Write(data + 2, size - 2);
  if (data[1] & 0x80)
    ReadServerSettings(Scratch().WindowsPath());
  else
    ReadOne(data[0], data[1]);
  return 0;
}
