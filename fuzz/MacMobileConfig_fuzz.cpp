// The settings the macOS agent loads (loadConfig): a configuration profile, a property list in
// XML or binary form whose "PayloadContent" holds the settings in its first payload, or, with no
// usable profile, the managed preferences' file of the agent's domain.
//
// Input: a byte whose bit 0 chooses the file the rest becomes (0 the profile beside the program,
// 1 the managed preferences, the profile then absent); then the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "agent-macos/log/Log.h"
#include "agent-macos/service/TarvikService.h"
#include "fuzz/MacAgentWorld.h"
#include "platform/macos/ProcessArguments.h"

namespace {

namespace fs = std::filesystem;

struct Files {
  fs::path profile;
  fs::path managed;
};

const Files& Scratch() {
  static const Files files = [] {
    const fs::path& root = macfuzz::MakeMacWorld("mac_mobileconfig");
    // The program seems to lie in the scratch folder, so the profile beside it is the input's.
    static std::string program = (root / "TarvikService").string();
    (*_NSGetArgv())[0] = program.data();
    fs::create_directories(root / "Library" / "Managed Preferences");
    return Files{root / "TarvikConfig.mobileconfig", root / "Library" / "Managed Preferences" / "com.quelmo.tarvik.plist"};
  }();
  return files;
}

TarvikService& Agent() {
  // Never destroyed: its destructor would stop it, which is not what is fuzzed.
  static TarvikService* const agent = new TarvikService;
  return *agent;
}

void Write(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Scratch();
  Agent();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Files& files = Scratch();
  const bool managed = (data[0] & 1) != 0;
  Write(managed ? files.managed : files.profile, data + 1, size - 1);
  fs::remove(managed ? files.profile : files.managed);
  Agent().loadConfig();
  // A "LogLevel" in the input would let the next inputs log.
  Utils::setLogLevel(LogLevel::error);
  return 0;
}
